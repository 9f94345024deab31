// The worker on a thread of its own, as the front ends run it: progress and
// the end arrive on the worker's thread, and the stop flag comes from
// another one.

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "image/transfer_thread.h"
#include "image/transfer_worker.h"
#include "tests/transfer/transfer_fakes.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using testing::FakeClock;
using testing::FakePipe;
using testing::FakeSleeper;
using testing::PatternImage;

// What a front end keeps: atomics the worker stores, and a wake-up for the
// thread that waits for the end.
class SharedProgress final : public TransferObserver {
public:
    void OnProgress(int position, std::uint64_t sent, std::uint64_t) override {
        position_.store(position);
        sent_.store(sent);
    }
    void OnFinished(const TransferOutcome& outcome) override {
        std::lock_guard lock(mutex_);
        outcome_ = outcome;
        changed_.notify_all();
    }
    TransferOutcome WaitForEnd() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return outcome_.has_value(); });
        return *outcome_;
    }
    std::uint64_t sent() const { return sent_.load(); }
    int position() const { return position_.load(); }

private:
    std::atomic<int> position_{0};
    std::atomic<std::uint64_t> sent_{0};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<TransferOutcome> outcome_;
};

TransferState StateFor(const std::vector<std::uint8_t>& file, FakePipe& pipe) {
    TransferState state;
    state.image = testing::CopyToBlock(file);
    state.imageSize = file.size();
    state.pipe = pipe.Open();
    return state;
}

TEST(TransferThreadTest, CompleteTransferReportsToAnotherThread) {
    FakeClock clock;
    FakeSleeper sleeper{clock};
    FakePipe pipe{clock};
    SharedProgress progress;
    std::atomic<bool> stop{false};
    const auto file = PatternImage(40 * 2048 + 5);

    std::thread worker([&, state = StateFor(file, pipe)]() mutable {
        TransferWorker(sleeper, clock).Run(std::move(state), progress, stop);
    });
    const TransferOutcome outcome = progress.WaitForEnd();
    worker.join();

    EXPECT_EQ(outcome.result, TransferResult::Complete);
    EXPECT_EQ(progress.position(), 100);
    EXPECT_EQ(progress.sent(), file.size() - 1024);
    EXPECT_TRUE(pipe.received() == testing::ExpectedStream(file));
    EXPECT_EQ(pipe.closes(), 1);
}

TEST(TransferThreadTest, StopFromAnotherThreadEndsAHeldWrite) {
    // The device takes three pieces, then holds the next write; the clock
    // stands still, so only the stop request can end the transfer.
    FakeClock clock;
    FakeSleeper sleeper{clock};
    FakePipe pipe{clock};
    pipe.heldFor = 0ms;
    pipe.answer = [](std::size_t index, std::size_t asked) -> std::optional<os::WriteResult> {
        if (index < 4) {
            return os::WriteResult{os::WriteStatus::Accepted, asked};
        }
        return std::nullopt;
    };
    SharedProgress progress;
    std::atomic<bool> stop{false};

    std::thread worker([&, state = StateFor(PatternImage(10 * 2048), pipe)]() mutable {
        TransferWorker(sleeper, clock).Run(std::move(state), progress, stop);
    });
    while (!pipe.holding()) {
        std::this_thread::sleep_for(1ms);
    }
    stop.store(true);
    const TransferOutcome outcome = progress.WaitForEnd();
    worker.join();

    EXPECT_EQ(outcome.result, TransferResult::Stopped);
    EXPECT_EQ(outcome.sent, 3u * 2048u);
    EXPECT_EQ(pipe.closes(), 1);
}

TEST(TransferThreadTest, WriteThatIgnoresInterruptsEndsAsFailedInTimeAndKeepsItsBytes) {
    // A driver that ignores every interrupt holds the fourth piece until it
    // is released. The front end still hears of the end within the stop's
    // bound, as a failure; the held write keeps the block and the pipe,
    // which its thread gives back once the write returns. It then reads
    // the bytes it was given: under AddressSanitizer a block freed too
    // early fails the test there.
    FakeClock clock;
    FakeSleeper sleeper{clock};
    FakePipe pipe{clock};
    pipe.heldFor = 0ms;
    pipe.ignoresInterrupts = true;
    pipe.answer = [](std::size_t index, std::size_t asked) -> std::optional<os::WriteResult> {
        if (index < 4) {
            return os::WriteResult{os::WriteStatus::Accepted, asked};
        }
        return std::nullopt;
    };
    SharedProgress progress;
    const auto file = PatternImage(10 * 2048);
    {
        TransferThread thread(sleeper, clock);
        ASSERT_TRUE(thread.Start(StateFor(file, pipe), progress));
        while (!pipe.holding()) {
            std::this_thread::sleep_for(1ms);
        }
        const auto stopAt = std::chrono::steady_clock::now();
        thread.RequestStop();
        const TransferOutcome outcome = progress.WaitForEnd();
        thread.Join();
        EXPECT_LT(std::chrono::steady_clock::now() - stopAt, 1s);
        EXPECT_EQ(outcome.result, TransferResult::Failed);
        EXPECT_EQ(outcome.failure, TransferFailure::WriteStuck);
        EXPECT_EQ(outcome.sent, 3u * 2048u);
        EXPECT_GE(pipe.interrupts(), 2);
        EXPECT_EQ(pipe.closes(), 0) << "the pipe was closed under the held write";
    }

    pipe.Release();
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (pipe.closes() == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(pipe.closes(), 1);
    // The held write took its piece once released, and nothing after it.
    const auto stream = testing::ExpectedStream(file);
    EXPECT_TRUE(pipe.received() == std::vector<std::uint8_t>(stream.begin(), stream.begin() + 20 + 4 * 2048));
}

}  // namespace
}  // namespace tarnwick
