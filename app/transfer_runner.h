#pragma once
// The window's side of a transfer: the worker runs on a TransferThread, and
// its reports come back to the UI thread without ever making it wait:
// - progress moves the bar (an atomic store and a coalesced repaint request),
//   and only when the shown percentage changes, so a transfer causes at most
//   about a hundred repaints whatever its size;
// - the end is posted to the UI thread, which joins the thread and then
//   hands the outcome to the window.
// Destroying the runner stops a running worker and waits for it, so the
// worker can never outlive the window it reports to.

#include <functional>

#include <wx/event.h>

#include "image/transfer_thread.h"
#include "platform/system.h"
#include "ui/gradient_progress_ctrl.h"

namespace tarnwick {

class TransferRunner final : public wxEvtHandler, private TransferObserver {
public:
    // Called on the UI thread once the worker has ended and been joined.
    using FinishedHandler = std::function<void(const TransferOutcome&)>;

    TransferRunner(os::System& system, CGradientProgressCtrl& bar, FinishedHandler onFinished);
    TransferRunner(const TransferRunner&) = delete;
    TransferRunner& operator=(const TransferRunner&) = delete;

    // UI thread. Starts sending `state`; false (with the block and the pipe
    // given back) when no thread could be started or one still runs.
    bool Start(TransferState state);
    // UI thread. From Start until the outcome has been handed over.
    bool IsRunning() const { return running_; }

private:
    void OnProgress(int position, std::uint64_t sent, std::uint64_t payload) override;
    void OnFinished(const TransferOutcome& outcome) override;
    void Finish(const TransferOutcome& outcome);

    CGradientProgressCtrl& bar_;
    FinishedHandler onFinished_;
    bool running_ = false;  // UI thread only
    int lastPosition_ = 0;  // worker thread only while it runs
    // Last: destroyed first, so a running worker is stopped and joined
    // while everything it reports to still exists.
    TransferThread thread_;
};

}  // namespace tarnwick
