#include "image/transfer_thread.h"

#include <system_error>
#include <utility>

namespace tarnwick {

TransferThread::~TransferThread() {
    RequestStop();
    Join();
}

bool TransferThread::Start(TransferState state, TransferObserver& observer) {
    if (thread_.joinable()) {
        return false;
    }
    stop_.store(false);
    try {
        // The state moves into the thread's closure; if the thread cannot be
        // started, the closure is destroyed and gives back block and pipe.
        thread_ = std::thread([this, &observer, state = std::move(state)]() mutable {
            TransferWorker(sleeper_, clock_).Run(std::move(state), observer, stop_);
        });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void TransferThread::Join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

}  // namespace tarnwick
