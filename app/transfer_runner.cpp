#include "app/transfer_runner.h"

#include <utility>

namespace tarnwick {

TransferRunner::TransferRunner(os::System& system, CGradientProgressCtrl& bar, FinishedHandler onFinished)
    : bar_(bar), onFinished_(std::move(onFinished)), thread_(system.sleeper, system.clock) {}

bool TransferRunner::Start(TransferState state) {
    if (running_) {
        return false;
    }
    lastPosition_ = 0;
    running_ = thread_.Start(std::move(state), *this);
    return running_;
}

void TransferRunner::OnProgress(int position, std::uint64_t, std::uint64_t) {
    if (position == lastPosition_) {
        return;
    }
    lastPosition_ = position;
    bar_.SetPosition(position);
}

void TransferRunner::OnFinished(const TransferOutcome& outcome) {
    CallAfter([this, outcome] { Finish(outcome); });
}

void TransferRunner::Finish(const TransferOutcome& outcome) {
    // OnFinished is the worker's last act, so this join ends at once.
    thread_.Join();
    running_ = false;
    onFinished_(outcome);
}

}  // namespace tarnwick
