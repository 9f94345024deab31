#include "platform/blocking_writer.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <vector>

namespace tarnwick::os {

struct BlockingWriterPipe::Shared {
    enum class Phase {
        Idle,       // no write asked for, or its result handed over
        Requested,  // asked for; the writer thread has not begun it
        Writing,    // the writer thread is inside WriteBlocking
        Done,       // ended; `result` waits to be handed over
    };

    explicit Shared(std::unique_ptr<BlockingTarget> owned) : target(std::move(owned)) {}

    std::unique_ptr<BlockingTarget> target;
    std::mutex mutex;
    std::condition_variable changed;
    Phase phase = Phase::Idle;
    std::vector<std::uint8_t> bytes;
    WriteResult result;
    bool quit = false;
    // A write was left behind, or the writer thread could not be made
    // interruptible: nothing more is written on this handle.
    bool unusable = false;
};

BlockingWriterPipe::BlockingWriterPipe(std::unique_ptr<BlockingTarget> target)
    : shared_(std::make_shared<Shared>(std::move(target))) {}

BlockingWriterPipe::~BlockingWriterPipe() {
    Cancel();
    bool leftBehind = false;
    {
        std::lock_guard lock(shared_->mutex);
        shared_->quit = true;
        leftBehind = shared_->phase == Shared::Phase::Writing;
    }
    shared_->changed.notify_all();
    if (writer_.joinable()) {
        // A write left behind still holds the shared state, and with it the
        // handle, until it returns; then the thread ends by itself.
        if (leftBehind) {
            writer_.detach();
        } else {
            writer_.join();
        }
    }
}

void BlockingWriterPipe::WriterLoop(std::shared_ptr<Shared> shared) {
    const bool interruptible = shared->target->PrepareWriterThread();
    std::unique_lock lock(shared->mutex);
    if (!interruptible) {
        shared->unusable = true;
        shared->result = {WriteStatus::Broken, 0};
        shared->phase = Shared::Phase::Done;
        shared->changed.notify_all();
        return;
    }
    for (;;) {
        shared->changed.wait(lock, [&] { return shared->quit || shared->phase == Shared::Phase::Requested; });
        if (shared->quit) {
            return;
        }
        shared->phase = Shared::Phase::Writing;
        lock.unlock();
        const WriteResult result = shared->target->WriteBlocking(shared->bytes);
        lock.lock();
        shared->result = result;
        shared->phase = Shared::Phase::Done;
        shared->changed.notify_all();
    }
}

WriteResult BlockingWriterPipe::Write(std::span<const std::uint8_t> bytes, std::chrono::milliseconds wait) {
    std::unique_lock lock(shared_->mutex);
    if (shared_->unusable && shared_->phase != Shared::Phase::Done) {
        return {WriteStatus::Broken, 0};
    }
    if (shared_->phase == Shared::Phase::Idle) {
        if (!writer_.joinable()) {
            try {
                writer_ = std::thread(WriterLoop, shared_);
            } catch (const std::system_error&) {
                return {WriteStatus::Failed, 0};
            }
        }
        shared_->bytes.assign(bytes.begin(), bytes.end());
        shared_->phase = Shared::Phase::Requested;
        shared_->changed.notify_all();
    }
    if (!shared_->changed.wait_for(lock, wait, [&] { return shared_->phase == Shared::Phase::Done; })) {
        return {WriteStatus::NotReady, 0};
    }
    shared_->phase = Shared::Phase::Idle;
    return shared_->result;
}

WriteResult BlockingWriterPipe::Cancel() {
    std::unique_lock lock(shared_->mutex);
    if (shared_->phase == Shared::Phase::Requested) {
        // Not begun: it never will be.
        shared_->phase = Shared::Phase::Idle;
        return {WriteStatus::NotReady, 0};
    }
    const auto giveUpAt = std::chrono::steady_clock::now() + kCancelBound;
    while (shared_->phase == Shared::Phase::Writing && std::chrono::steady_clock::now() < giveUpAt) {
        shared_->target->Interrupt();
        shared_->changed.wait_for(lock, kInterruptRepeat, [&] { return shared_->phase != Shared::Phase::Writing; });
    }
    if (shared_->phase == Shared::Phase::Writing) {
        shared_->unusable = true;
        return {WriteStatus::NotReady, 0};
    }
    const bool ended = shared_->phase == Shared::Phase::Done;
    shared_->phase = Shared::Phase::Idle;
    if (ended && shared_->result.status == WriteStatus::Accepted) {
        return shared_->result;
    }
    return {WriteStatus::NotReady, 0};
}

}  // namespace tarnwick::os
