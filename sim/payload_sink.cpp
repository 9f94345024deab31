#include "sim/payload_sink.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "sim/write_all.h"

namespace tarnwick::sim {

PayloadSink::PayloadSink(int storeFd) : storeFd_(storeFd) {
    current_ = TakeFreeBlock();
    worker_ = std::thread([this] { Work(); });
}

PayloadSink::~PayloadSink() {
    if (worker_.joinable()) {
        Finish();
    }
}

PayloadSink::Block PayloadSink::TakeFreeBlock() {
    std::unique_lock lock(mutex_);
    if (!free_.empty()) {
        Block block = std::move(free_.back());
        free_.pop_back();
        block.size = 0;
        return block;
    }
    lock.unlock();
    return Block{std::make_unique<std::uint8_t[]>(kBlockBytes), 0};
}

std::span<std::uint8_t> PayloadSink::Space() {
    if (current_.size == kBlockBytes) {
        Queue();
    }
    return {current_.data.get() + current_.size, kBlockBytes - current_.size};
}

void PayloadSink::Commit(std::size_t count) {
    current_.size += count;
    if (current_.size == kBlockBytes) {
        Queue();
    }
}

void PayloadSink::Append(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const std::span<std::uint8_t> space = Space();
        const std::size_t n = std::min(space.size(), bytes.size());
        std::memcpy(space.data(), bytes.data(), n);
        Commit(n);
        bytes = bytes.subspan(n);
    }
}

void PayloadSink::Queue() {
    Block full = std::move(current_);
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return queued_.size() < kMaxQueuedBlocks; });
        queued_.push_back(std::move(full));
    }
    changed_.notify_all();
    current_ = TakeFreeBlock();
}

void PayloadSink::Work() {
    while (true) {
        Block block;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return !queued_.empty() || finishing_; });
            if (queued_.empty()) {
                return;
            }
            block = std::move(queued_.front());
            queued_.pop_front();
        }
        changed_.notify_all();
        const std::span<const std::uint8_t> bytes(block.data.get(), block.size);
        hash_.Update(bytes);
        const bool failed = storeFd_ >= 0 && !WriteAll(storeFd_, bytes.data(), bytes.size());
        std::lock_guard lock(mutex_);
        storeFailed_ = storeFailed_ || failed;
        free_.push_back(std::move(block));
    }
}

PayloadSink::Result PayloadSink::Finish() {
    if (current_.size > 0) {
        Queue();
    }
    {
        std::lock_guard lock(mutex_);
        finishing_ = true;
    }
    changed_.notify_all();
    worker_.join();
    Result result;
    result.sha256 = hash_.FinishHex();
    result.stored = storeFd_ >= 0 && !storeFailed_;
    return result;
}

}  // namespace tarnwick::sim
