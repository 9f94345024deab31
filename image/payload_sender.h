#pragma once
// The writing half of a transfer, run on a thread of its own: the header
// packet, then the payload in pieces, each write straight from the image
// block on that thread, with no hand-off and no copy.
//
// Everything that thread needs beyond the front end's observer lives in
// the SendJob, which the thread shares. A write that even an interrupt
// cannot end (a driver that ignores it) can so be given up on: the block
// and the pipe stay alive until that write returns, and the thread then
// ends without touching anything but the job. The watching side learns
// everything it needs (counts, the time of the last byte taken, whether a
// write is under way) from the job's atomics, without waking the writer.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>

#include "image/transfer_worker.h"
#include "platform/system.h"

namespace tarnwick {

enum class SendEnd {
    Complete,       // every payload byte was taken
    AttemptsSpent,  // one packet or piece failed 3002 times in a row
    Stalled,        // nothing was taken for the stall limit
    Stopped,        // the front end asked to stop
    Broken,         // the pipe can take no more: the device went away
    NoWriter,       // the writing thread could not be made interruptible
    Abandoned,      // given up on inside a write that could not be ended
};

class SendJob {
public:
    SendJob(std::shared_ptr<const std::uint8_t[]> image, std::uint64_t imageSize, std::unique_ptr<os::DevicePipe> pipe,
            std::uint64_t alreadySent, std::chrono::steady_clock::time_point start);

    // ---- On the writing thread -------------------------------------------
    // Sends the image. `observer`, `sleeper`, `clock` and `stop` are used
    // only while no write has been given up on.
    SendEnd Send(TransferObserver& observer, os::Sleeper& sleeper, os::Clock& clock,
                 const std::atomic<bool>& stop);
    // The writing thread's last act: wakes the watcher.
    void Finish(SendEnd end);

    // ---- On the watching thread ------------------------------------------
    // The end once the writing thread has finished, or nullopt after `wait`.
    std::optional<SendEnd> WaitForEnd(std::chrono::milliseconds wait);
    // The writer ends with `end` at its next step, and begins no new write.
    void RequestEnd(SendEnd end) { requestedEnd_.store(end); }
    bool Writing() const { return phase_.load() == Phase::Writing; }
    // Only while Writing(): the pipe is there then.
    void InterruptWrite() { pipe_->Interrupt(); }
    // Gives up on the write under way: true when there was one, and the
    // writer will touch nothing outside this job from now on.
    bool Abandon();
    std::chrono::steady_clock::time_point LastTakenAt() const;
    // Once the writer has finished: gives the handle back.
    void ClosePipe() { pipe_.reset(); }

    // ---- Either thread ---------------------------------------------------
    std::span<const std::uint8_t> image() const;
    std::span<const std::uint8_t> payload() const;
    std::uint64_t sent() const { return sent_.load(); }
    bool headerSent() const;

private:
    enum class Phase { Idle, Writing, Abandoned };

    SendEnd WriteAll(std::span<const std::uint8_t> bytes, std::chrono::milliseconds retryPause,
                     std::atomic<std::uint64_t>& taken, os::Sleeper& sleeper, os::Clock& clock);

    const std::shared_ptr<const std::uint8_t[]> image_;
    const std::uint64_t imageSize_;
    std::unique_ptr<os::DevicePipe> pipe_;

    std::atomic<Phase> phase_{Phase::Idle};
    std::atomic<SendEnd> requestedEnd_{SendEnd::Complete};
    std::atomic<std::uint64_t> headerTaken_{0};
    std::atomic<std::uint64_t> sent_;
    std::atomic<std::chrono::steady_clock::rep> lastTakenAt_;

    std::mutex mutex_;
    std::condition_variable finished_;
    std::optional<SendEnd> end_;
};

}  // namespace tarnwick
