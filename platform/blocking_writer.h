#pragma once
// A DevicePipe for handles that can only be written by a call that blocks:
// on POSIX character devices and plain files, on Windows every synchronous
// handle. Each write runs on a thread of the pipe's own, which the caller
// waits for with a deadline, and which can be interrupted when the caller
// gives up. The system-specific half is a BlockingTarget.
//
// The writer thread works on its own copy of the bytes and owns the
// handle, so a write that even an interrupt cannot end (a driver that
// ignores it) can be left behind without touching memory or a handle that
// someone else has given back.

#include <memory>
#include <span>
#include <thread>

#include "platform/system.h"

namespace tarnwick::os {

// How long Cancel keeps interrupting a write before it leaves it behind,
// and how often it repeats the interrupt: one that lands just before the
// write has started is lost.
inline constexpr std::chrono::milliseconds kCancelBound{500};
inline constexpr std::chrono::milliseconds kInterruptRepeat{10};

class BlockingTarget {
public:
    // Gives the handle back. Runs on whichever thread lets go last.
    virtual ~BlockingTarget() = default;
    // On the writer thread, once, before its first write: makes the thread
    // reachable by Interrupt. False when it cannot be; the pipe then never
    // writes, since its writes could not be bounded.
    virtual bool PrepareWriterThread() = 0;
    // On the writer thread: one write, blocking as long as the handle needs.
    // Accepted with the count written, also when it was cut short;
    // NotReady when it was interrupted before writing anything.
    virtual WriteResult WriteBlocking(std::span<const std::uint8_t> bytes) = 0;
    // From another thread while a write runs: makes it return soon. Harmless
    // when it has not started yet or has already returned.
    virtual void Interrupt() = 0;
};

class BlockingWriterPipe final : public DevicePipe {
public:
    explicit BlockingWriterPipe(std::unique_ptr<BlockingTarget> target);
    ~BlockingWriterPipe() override;
    BlockingWriterPipe(const BlockingWriterPipe&) = delete;
    BlockingWriterPipe& operator=(const BlockingWriterPipe&) = delete;

    WriteResult Write(std::span<const std::uint8_t> bytes, std::chrono::milliseconds wait) override;
    WriteResult Cancel() override;

private:
    struct Shared;
    static void WriterLoop(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> shared_;
    std::thread writer_;
};

}  // namespace tarnwick::os
