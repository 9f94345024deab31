#pragma once
// Where a transfer's payload goes: hashed and, when asked, stored, on a
// thread of its own. Reading the socket then costs little more than the
// system calls, so the simulator drains the pipe as fast as the tool fills
// it; hashing catches up behind it.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "support/sha256.h"

namespace tarnwick::sim {

class PayloadSink {
public:
    static constexpr std::size_t kBlockBytes = 1 << 20;
    // Blocks waiting to be hashed at most; the reader waits beyond that.
    static constexpr std::size_t kMaxQueuedBlocks = 512;

    // `storeFd` receives every payload byte in order; -1 stores nothing.
    explicit PayloadSink(int storeFd);
    PayloadSink(const PayloadSink&) = delete;
    PayloadSink& operator=(const PayloadSink&) = delete;
    ~PayloadSink();

    // Room to read payload into directly: the rest of the current block.
    std::span<std::uint8_t> Space();
    // The first `count` bytes of Space() now hold payload.
    void Commit(std::size_t count);
    // Copies payload that arrived elsewhere.
    void Append(std::span<const std::uint8_t> bytes);

    // Waits until every byte is hashed and stored. Call once.
    struct Result {
        std::string sha256;
        bool stored = false;  // every byte reached the store
    };
    Result Finish();

private:
    struct Block {
        std::unique_ptr<std::uint8_t[]> data;
        std::size_t size = 0;
    };

    void Queue();
    void Work();
    Block TakeFreeBlock();

    const int storeFd_;
    Block current_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Block> queued_;
    std::vector<Block> free_;
    bool finishing_ = false;
    bool storeFailed_ = false;
    Sha256 hash_;
    std::thread worker_;
};

}  // namespace tarnwick::sim
