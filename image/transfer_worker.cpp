#include "image/transfer_worker.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <span>
#include <system_error>
#include <thread>

#include "image/image_header.h"
#include "image/payload_sender.h"
#include "platform/thread_priority.h"
#include "support/sha256.h"

namespace tarnwick {
namespace {

// Watches the writing thread until it has ended, or until a write it is
// blocked in has been given up on (false). While the writes go well this
// costs one wake per kWatchInterval and nothing on the writing thread.
bool WatchUntilEnd(SendJob& job, os::Clock& clock, const std::atomic<bool>& stop) {
    constexpr int kInterruptsBeforeGivingUp = static_cast<int>(kCancelBound / kInterruptRepeat);
    bool ending = false;
    int interruptsLeft = kInterruptsBeforeGivingUp;
    for (;;) {
        if (job.WaitForEnd(ending ? kInterruptRepeat : kWatchInterval)) {
            return true;
        }
        if (!ending) {
            if (stop.load()) {
                job.RequestEnd(SendEnd::Stopped);
            } else if (clock.Now() - job.LastTakenAt() >= kStallLimit) {
                job.RequestEnd(SendEnd::Stalled);
            } else {
                continue;
            }
            ending = true;
        }
        // A writer between writes sees the end at its next step by itself.
        if (!job.Writing()) {
            continue;
        }
        if (interruptsLeft-- > 0) {
            job.InterruptWrite();
        } else if (job.Abandon()) {
            return false;
        }
    }
}

TransferOutcome OutcomeOf(SendEnd end, const SendJob& job, std::uint64_t payload) {
    TransferOutcome outcome;
    outcome.payload = payload;
    outcome.sent = job.sent();
    outcome.headerSent = job.headerSent();
    outcome.result = TransferResult::Failed;
    switch (end) {
        case SendEnd::Complete:
            outcome.result = TransferResult::Complete;
            break;
        case SendEnd::AttemptsSpent:
            outcome.failure = outcome.headerSent ? TransferFailure::PieceNotTaken : TransferFailure::HeaderNotTaken;
            break;
        case SendEnd::Stalled:
            outcome.failure = TransferFailure::Stalled;
            break;
        case SendEnd::Stopped:
            outcome.result = TransferResult::Stopped;
            break;
        case SendEnd::Broken:
            outcome.failure = TransferFailure::PipeBroken;
            break;
        case SendEnd::NoWriter:
            outcome.failure = TransferFailure::NoWriter;
            break;
        case SendEnd::Abandoned:
            outcome.failure = TransferFailure::WriteStuck;
            break;
    }
    return outcome;
}

// Runs `work` on a thread of its own; on none when no thread can be had,
// then the caller runs it itself.
template <typename Work>
std::optional<std::thread> StartThread(Work&& work) {
    try {
        return std::thread(std::forward<Work>(work));
    } catch (const std::system_error&) {
        return std::nullopt;
    }
}

}  // namespace

std::string_view OutcomeMessageKey(TransferResult result) {
    return result == TransferResult::Complete ? "1030" : "1032";
}

int ProgressPosition(std::uint64_t sent, std::uint64_t payload) {
    if (payload == 0) {
        return 0;
    }
    // Both stay below 2^32, so the product fits 64 bits.
    return static_cast<int>(std::min(sent, payload) * 100 / payload);
}

TransferWorker::TransferWorker(os::Sleeper& sleeper, os::Clock& clock) : sleeper_(sleeper), clock_(clock) {}

TransferOutcome TransferWorker::Run(TransferState state, TransferObserver& observer,
                                    const std::atomic<bool>& stop) {
    if (state.image == nullptr || state.imageSize < kHeaderReadSize) {
        TransferOutcome outcome;
        outcome.failure = TransferFailure::ImageTooSmall;
        state.pipe.reset();
        state.image.reset();
        outcome.recordLost = state.history && !AppendRecord(*state.history, outcome, 0);
        observer.OnFinished(outcome);
        return outcome;
    }

    const std::uint64_t payload = state.imageSize - kHeaderAreaSize;
    const auto startedAt = clock_.Now();
    std::optional<HistoryEntry> history = std::move(state.history);
    auto job = std::make_shared<SendJob>(std::move(state.image), state.imageSize, std::move(state.pipe), state.sent,
                                         startedAt);
    // The writing thread holds the job, so that a write given up on keeps
    // the block and the pipe; it touches the rest only until then.
    std::optional<std::thread> writer = StartThread([job, &observer, &sleeper = sleeper_, &clock = clock_, &stop] {
        job->Finish(job->Send(observer, sleeper, clock, stop));
    });
    // Work beside the send gives way to it: on a machine of two cores it
    // would otherwise take one from the writer or from the device's side.
    // The record names the whole file's digest; it is taken here when the
    // front end did not take it before.
    // It holds the spans, not the job: the job and its block are given back
    // before the end is reported, and this runs no longer than that.
    std::string wholeDigest = history ? history->start.imageSha256 : std::string();
    auto besideTheSend = [image = job->image(), payload = job->payload(), &observer, &wholeDigest,
                          digestWhole = history && wholeDigest.empty()] {
        if (digestWhole) {
            wholeDigest = Sha256::HexDigestOf(image);
        }
        observer.BesideTheSend(payload);
    };
    std::optional<std::thread> beside = StartThread([&besideTheSend] {
        os::GiveWayToOtherThreads();
        besideTheSend();
    });

    const bool ended = !writer || WatchUntilEnd(*job, clock_, stop);
    const SendEnd end = !writer ? SendEnd::NoWriter : ended ? *job->WaitForEnd(std::chrono::milliseconds{0})
                                                            : SendEnd::Abandoned;
    const std::chrono::duration<double> took = clock_.Now() - startedAt;
    TransferOutcome outcome = OutcomeOf(end, *job, payload);
    if (ended) {
        if (writer) {
            writer->join();
        }
        job->ClosePipe();
        observer.OnPipeClosed();
    } else {
        writer->detach();
    }
    if (beside) {
        beside->join();
    } else {
        besideTheSend();
    }
    job.reset();
    if (history) {
        history->start.imageSha256 = wholeDigest;
        outcome.recordLost = !AppendRecord(*history, outcome, took.count());
    }
    observer.OnFinished(outcome);
    return outcome;
}

}  // namespace tarnwick
