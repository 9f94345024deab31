// The worker on a thread of its own, as the front ends run it: progress and
// the end arrive on the worker's thread, and the stop flag comes from
// another one.

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

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
    EXPECT_TRUE(pipe.received == testing::ExpectedStream(file));
    EXPECT_EQ(pipe.closes(), 1);
}

TEST(TransferThreadTest, StopFromAnotherThreadEndsAWaitingTransfer) {
    // The device takes three pieces, then nothing; its clock stands still,
    // so only the stop request can end the transfer.
    FakeClock clock;
    FakeSleeper sleeper{clock};
    FakePipe pipe{clock};
    pipe.answer = [](std::size_t index, std::size_t asked) {
        if (index < 4) {
            return os::WriteResult{os::WriteStatus::Accepted, asked};
        }
        std::this_thread::sleep_for(1ms);
        return os::WriteResult{os::WriteStatus::NotReady, 0};
    };
    class FrozenClock final : public os::Clock {
    public:
        std::chrono::steady_clock::time_point Now() override { return {}; }
    } frozen;
    SharedProgress progress;
    std::atomic<bool> stop{false};

    std::thread worker([&, state = StateFor(PatternImage(10 * 2048), pipe)]() mutable {
        TransferWorker(sleeper, frozen).Run(std::move(state), progress, stop);
    });
    while (progress.sent() < 3 * 2048) {
        std::this_thread::sleep_for(1ms);
    }
    stop.store(true);
    const TransferOutcome outcome = progress.WaitForEnd();
    worker.join();

    EXPECT_EQ(outcome.result, TransferResult::Stopped);
    EXPECT_EQ(outcome.sent, 3u * 2048u);
    EXPECT_EQ(pipe.closes(), 1);
}

}  // namespace
}  // namespace tarnwick
