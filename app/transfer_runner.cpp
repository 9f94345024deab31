#include "app/transfer_runner.h"

#include <system_error>
#include <utility>

namespace tarnwick {

TransferRunner::TransferRunner(os::System& system, CGradientProgressCtrl& bar,
                               FinishedHandler onFinished)
    : system_(system), bar_(bar), onFinished_(std::move(onFinished)) {}

TransferRunner::~TransferRunner() {
    if (worker_.joinable()) {
        stop_ = true;
        worker_.join();
    }
}

bool TransferRunner::Start(TransferState state) {
    if (running_ || worker_.joinable()) {
        return false;
    }
    stop_ = false;
    progressUpdates_ = 0;
    lastPosition_ = 0;
    try {
        // The state moves into the thread's closure; if the thread cannot be
        // started, the closure is destroyed and gives back block and pipe.
        worker_ = std::thread([this, state = std::move(state)]() mutable {
            TransferWorker worker(system_.sleeper, system_.clock);
            worker.Run(std::move(state), *this, stop_);
        });
    } catch (const std::system_error&) {
        return false;
    }
    running_ = true;
    return true;
}

void TransferRunner::OnProgress(int position, std::uint64_t, std::uint64_t) {
    if (position == lastPosition_) {
        return;
    }
    lastPosition_ = position;
    ++progressUpdates_;
    bar_.SetPosition(position);
}

void TransferRunner::OnFinished(const TransferOutcome& outcome) {
    CallAfter([this, outcome] { Finish(outcome); });
}

void TransferRunner::Finish(const TransferOutcome& outcome) {
    // OnFinished is the worker's last act, so this join ends at once.
    if (worker_.joinable()) {
        worker_.join();
    }
    running_ = false;
    onFinished_(outcome);
}

}  // namespace tarnwick
