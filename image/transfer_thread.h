#pragma once
// The one place a transfer gets a thread of its own, for every front end:
// TransferWorker::Run with the front end's observer, and a stop flag the
// front end may raise. Destroying it stops a running transfer after the
// current piece and waits for it, so a worker never outlives what it
// reports to.

#include <atomic>
#include <thread>

#include "image/transfer_state.h"
#include "image/transfer_worker.h"
#include "platform/system.h"

namespace tarnwick {

class TransferThread {
public:
    TransferThread(os::Sleeper& sleeper, os::Clock& clock) : sleeper_(sleeper), clock_(clock) {}
    ~TransferThread();
    TransferThread(const TransferThread&) = delete;
    TransferThread& operator=(const TransferThread&) = delete;

    // Starts sending `state`, which the thread now owns, reporting to
    // `observer` from the new thread. False when a thread still runs or none
    // could be started; `state` has then given back the block and the pipe.
    bool Start(TransferState state, TransferObserver& observer);
    // The worker ends after the current piece, or after the current wait on
    // a device that takes nothing.
    void RequestStop() { stop_.store(true); }
    bool StopRequested() const { return stop_.load(); }
    // Waits for the worker; at once when it has reported its end.
    void Join();

private:
    os::Sleeper& sleeper_;
    os::Clock& clock_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace tarnwick
