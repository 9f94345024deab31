#include "image/transfer_worker.h"

#include <gtest/gtest.h>

#include <numeric>

#include "tests/transfer/transfer_fakes.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using testing::ExpectedStream;
using testing::FakeClock;
using testing::FakePipe;
using testing::FakeSleeper;
using testing::PatternImage;
using testing::RecordingObserver;

os::WriteResult Taken(std::size_t count) { return {os::WriteStatus::Accepted, count}; }
os::WriteResult Failed() { return {os::WriteStatus::Failed, 0}; }
// The device takes nothing: the write is held until it is interrupted.
std::optional<os::WriteResult> Holds() { return std::nullopt; }

class TransferWorkerTest : public ::testing::Test {
protected:
    TransferOutcome Send(const std::vector<std::uint8_t>& file) {
        TransferState state;
        state.image = testing::CopyToBlock(file);
        state.imageSize = file.size();
        state.pipe = pipe.Open();
        TransferWorker worker(sleeper, clock);
        return worker.Run(std::move(state), observer, observer.stop);
    }

    FakeClock clock;
    FakeSleeper sleeper{clock};
    FakePipe pipe{clock};
    RecordingObserver observer{&pipe};
};

// ---- The byte stream ---------------------------------------------------------

TEST_F(TransferWorkerTest, DeviceGetsHeaderPacketThenPayloadInPiecesOfAtMost2048) {
    struct Case {
        std::size_t payload;
        std::vector<std::size_t> writes;
    };
    const std::vector<Case> cases = {
        {4, {20, 4}},
        {2047, {20, 2047}},
        {2048, {20, 2048}},
        {2049, {20, 2048, 1}},
        {3 * 2048, {20, 2048, 2048, 2048}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.payload);
        FakeClock localClock;
        FakeSleeper localSleeper{localClock};
        FakePipe localPipe{localClock};
        RecordingObserver localObserver{&localPipe};
        const auto file = PatternImage(c.payload);
        TransferState state;
        state.image = testing::CopyToBlock(file);
        state.imageSize = file.size();
        state.pipe = localPipe.Open();
        const TransferOutcome outcome =
            TransferWorker(localSleeper, localClock).Run(std::move(state), localObserver, localObserver.stop);

        EXPECT_EQ(outcome.result, TransferResult::Complete);
        EXPECT_EQ(outcome.sent, c.payload);
        EXPECT_EQ(outcome.payload, c.payload);
        EXPECT_TRUE(localPipe.received() == ExpectedStream(file));
        EXPECT_EQ(localPipe.AcceptedWriteSizes(), c.writes);
        EXPECT_TRUE(localSleeper.sleeps.empty());
    }
}

TEST_F(TransferWorkerTest, ShortWritesFinishTheirPieceWithoutLosingOrRepeatingBytes) {
    // The device takes 1, 2, 3, ... 700 bytes per write, in turn.
    pipe.answer = [](std::size_t index, std::size_t asked) {
        return Taken(std::min<std::size_t>(asked, 1 + index % 700));
    };
    const auto file = PatternImage(5 * 2048 + 333);
    const TransferOutcome outcome = Send(file);

    EXPECT_EQ(outcome.result, TransferResult::Complete);
    EXPECT_TRUE(pipe.received() == ExpectedStream(file));
    // Progress is reported per whole piece, not per partial write.
    EXPECT_EQ(observer.sentAfterPiece, (std::vector<std::uint64_t>{2048, 4096, 6144, 8192, 10240, 10573}));
}

TEST_F(TransferWorkerTest, HeaderAreaBeyondByte19IsNeverSent) {
    auto file = PatternImage(100);
    auto changed = file;
    for (std::size_t i = 20; i < 1024; ++i) {
        changed[i] ^= 0xFF;
    }
    Send(changed);
    EXPECT_TRUE(pipe.received() == ExpectedStream(file));
}

// ---- Retries -------------------------------------------------------------------

TEST_F(TransferWorkerTest, FailedWritesAreRetriedUntilTheyGoThrough) {
    // Header: 3001 failures, then taken (the 3002nd attempt is the last one
    // allowed). Second piece: 10 failures, then taken.
    pipe.answer = [](std::size_t index, std::size_t asked) {
        if (index < 3001) {
            return Failed();
        }
        if (index >= 3002 + 1 && index < 3002 + 1 + 10) {
            return Failed();
        }
        return Taken(asked);
    };
    const auto file = PatternImage(3000);
    const TransferOutcome outcome = Send(file);

    EXPECT_EQ(outcome.result, TransferResult::Complete);
    EXPECT_TRUE(outcome.headerSent);
    EXPECT_TRUE(pipe.received() == ExpectedStream(file));
    ASSERT_EQ(sleeper.sleeps.size(), 3001u + 10u);
    EXPECT_TRUE(std::all_of(sleeper.sleeps.begin(), sleeper.sleeps.begin() + 3001,
                            [](auto pause) { return pause == 5ms; }));
    EXPECT_TRUE(std::all_of(sleeper.sleeps.begin() + 3001, sleeper.sleeps.end(),
                            [](auto pause) { return pause == 1ms; }));
}

TEST_F(TransferWorkerTest, HeaderTheDeviceNeverTakesEndsAsFailedWithoutPayload) {
    pipe.answer = [](std::size_t, std::size_t) { return Failed(); };
    const TransferOutcome outcome = Send(PatternImage(5000));

    EXPECT_EQ(outcome.result, TransferResult::Failed);
    EXPECT_EQ(outcome.failure, TransferFailure::HeaderNotTaken);
    EXPECT_FALSE(outcome.headerSent);
    EXPECT_EQ(outcome.sent, 0u);
    const auto calls = pipe.calls();
    EXPECT_EQ(calls.size(), 3002u);
    EXPECT_TRUE(std::all_of(calls.begin(), calls.end(), [](const auto& call) { return call.asked == 20; }));
    EXPECT_TRUE(observer.positions.empty());
    EXPECT_EQ(OutcomeMessageKey(observer.finished.result), "1032");
}

TEST_F(TransferWorkerTest, PieceFailing3002TimesEndsTheTransferThere) {
    // Header and first piece go through; the second piece never does.
    pipe.answer = [](std::size_t index, std::size_t asked) { return index < 2 ? Taken(asked) : Failed(); };
    const TransferOutcome outcome = Send(PatternImage(3 * 2048));

    EXPECT_EQ(outcome.result, TransferResult::Failed);
    EXPECT_EQ(outcome.failure, TransferFailure::PieceNotTaken);
    EXPECT_EQ(outcome.sent, 2048u);
    EXPECT_EQ(pipe.calls().size(), 2u + 3002u);  // the third piece is never attempted
    EXPECT_EQ(sleeper.sleeps.size(), 3002u);
    EXPECT_EQ(observer.positions, (std::vector<int>{33}));
}

TEST_F(TransferWorkerTest, FailureCountStartsAfreshOnceTheDeviceTakesBytes) {
    // Every write fails 3000 times before the device takes 500 bytes; a
    // counter that ran on across partial writes would give up.
    pipe.answer = [](std::size_t index, std::size_t asked) {
        return index % 3001 == 3000 ? Taken(std::min<std::size_t>(asked, 500)) : Failed();
    };
    const auto file = PatternImage(1500);
    const TransferOutcome outcome = Send(file);
    EXPECT_EQ(outcome.result, TransferResult::Complete);
    EXPECT_TRUE(pipe.received() == ExpectedStream(file));
}

TEST_F(TransferWorkerTest, InvalidPipeFailsWithoutPayload) {
    TransferState state;
    const auto file = PatternImage(10);
    state.image = testing::CopyToBlock(file);
    state.imageSize = file.size();
    state.pipe = pipe.Adopt(os::kInvalidHandle);
    const TransferOutcome outcome = TransferWorker(sleeper, clock).Run(std::move(state), observer, observer.stop);
    EXPECT_EQ(outcome.result, TransferResult::Failed);
    EXPECT_EQ(outcome.failure, TransferFailure::PipeBroken);
    EXPECT_TRUE(pipe.received().empty());
}

TEST_F(TransferWorkerTest, BrokenPipeEndsAtOnceAndCountsThePartOfAPieceItTook) {
    // Header and first piece go through; the second piece is taken 700
    // bytes in, then the far end goes away.
    pipe.answer = [](std::size_t index, std::size_t asked) {
        if (index < 2) {
            return Taken(asked);
        }
        return index == 2 ? Taken(700) : os::WriteResult{os::WriteStatus::Broken, 0};
    };
    const auto file = PatternImage(3 * 2048);
    const TransferOutcome outcome = Send(file);

    EXPECT_EQ(outcome.result, TransferResult::Failed);
    EXPECT_EQ(outcome.failure, TransferFailure::PipeBroken);
    EXPECT_EQ(outcome.sent, 2048u + 700u);
    EXPECT_EQ(pipe.calls().size(), 4u);
    EXPECT_TRUE(sleeper.sleeps.empty());
    const auto expected = ExpectedStream(file);
    EXPECT_TRUE(pipe.received() == std::vector<std::uint8_t>(expected.begin(), expected.begin() + 20 + 2748));
}

// ---- A device that stops taking bytes -----------------------------------------

TEST_F(TransferWorkerTest, WriteHeldAtTheEndIsInterruptedAndWhatItTookIsCounted) {
    // The device takes the header and one piece, then holds the next write;
    // it had moved 500 bytes when it was interrupted. Stalled: the device
    // took nothing for the stall limit. Stopped: the clock stands still, so
    // only the stop request can end it.
    for (const bool stopped : {false, true}) {
        SCOPED_TRACE(stopped ? "stopped" : "stalled");
        FakeClock localClock;
        FakeSleeper localSleeper{localClock};
        FakePipe localPipe{localClock};
        RecordingObserver localObserver{&localPipe};
        localPipe.takenWhenInterrupted = 500;
        localPipe.heldFor = stopped ? 0ms : kStallLimit;
        localPipe.answer = [&](std::size_t index, std::size_t asked) -> std::optional<os::WriteResult> {
            if (index < 2) {
                localClock.Advance(3s);  // writes that took a while are fine
                return Taken(asked);
            }
            if (stopped) {
                localObserver.stop.store(true);
            }
            return Holds();
        };
        const auto file = PatternImage(3 * 2048);
        TransferState state;
        state.image = testing::CopyToBlock(file);
        state.imageSize = file.size();
        state.pipe = localPipe.Open();
        const TransferOutcome outcome =
            TransferWorker(localSleeper, localClock).Run(std::move(state), localObserver, localObserver.stop);

        EXPECT_EQ(outcome.result, stopped ? TransferResult::Stopped : TransferResult::Failed);
        EXPECT_EQ(outcome.failure, stopped ? TransferFailure::None : TransferFailure::Stalled);
        EXPECT_EQ(outcome.sent, 2048u + 500u);
        EXPECT_GE(localPipe.interrupts(), 1);
        EXPECT_EQ(localPipe.calls().size(), 3u);  // no write after the interrupted one
        const auto expected = ExpectedStream(file);
        EXPECT_TRUE(localPipe.received() ==
                    std::vector<std::uint8_t>(expected.begin(), expected.begin() + 20 + 2548));
    }
}

TEST_F(TransferWorkerTest, SlowDeviceThatKeepsTakingBytesIsNotCutOff) {
    // One byte every 59 s never trips the 60 s limit.
    pipe.answer = [this](std::size_t, std::size_t) -> std::optional<os::WriteResult> {
        clock.Advance(59s);
        return Taken(1);
    };
    const auto file = PatternImage(4);
    const TransferOutcome outcome = Send(file);
    EXPECT_EQ(outcome.result, TransferResult::Complete);
    EXPECT_TRUE(pipe.received() == ExpectedStream(file));
}

TEST_F(TransferWorkerTest, FailuresCountTowardTheStallLimitToo) {
    // Failures that each take 30 s (a device that times out slowly) cannot
    // hold the transfer for 3002 attempts.
    pipe.answer = [this](std::size_t, std::size_t) -> std::optional<os::WriteResult> {
        clock.Advance(30s);
        return Failed();
    };
    const TransferOutcome outcome = Send(PatternImage(100));
    EXPECT_EQ(outcome.result, TransferResult::Failed);
    EXPECT_EQ(outcome.failure, TransferFailure::Stalled);
    EXPECT_LE(clock.Elapsed(), kStallLimit + 30s + kHeaderRetryPause);
}

// ---- Progress -----------------------------------------------------------------

TEST(ProgressPositionTest, IsTheExactShareAndEndsAtHundredForEverySize) {
    EXPECT_EQ(ProgressPosition(4, 4), 100);
    EXPECT_EQ(ProgressPosition(199, 199), 100);
    EXPECT_EQ(ProgressPosition(198, 199), 99);
    EXPECT_EQ(ProgressPosition(1, 199), 0);
    EXPECT_EQ(ProgressPosition(150'000, 150'000), 100);
    // Products beyond 32 bits: a 4 GiB - 1025 payload.
    const std::uint64_t large = 0xFFFF'FFFFull - 1024;
    EXPECT_EQ(ProgressPosition(large / 2, large), 49);
    EXPECT_EQ(ProgressPosition(large - 1, large), 99);
    EXPECT_EQ(ProgressPosition(large, large), 100);
    EXPECT_EQ(ProgressPosition(0, 0), 0);
}

TEST_F(TransferWorkerTest, ProgressFollowsEveryPieceAndEndsAtHundred) {
    Send(PatternImage(5000));
    EXPECT_EQ(observer.positions, (std::vector<int>{40, 81, 100}));
    EXPECT_EQ(observer.sentAfterPiece, (std::vector<std::uint64_t>{2048, 4096, 5000}));
    EXPECT_EQ(observer.lastPayload, 5000u);
}

TEST_F(TransferWorkerTest, SmallPayloadsEndAtHundredNotAtTheirSize) {
    for (std::size_t payload : {4u, 199u}) {
        FakePipe localPipe{clock};
        RecordingObserver localObserver{&localPipe};
        const auto file = PatternImage(payload);
        TransferState state;
        state.image = testing::CopyToBlock(file);
        state.imageSize = file.size();
        state.pipe = localPipe.Open();
        TransferWorker(sleeper, clock).Run(std::move(state), localObserver, localObserver.stop);
        EXPECT_EQ(localObserver.positions, (std::vector<int>{100})) << payload;
    }
}

// ---- Ending -------------------------------------------------------------------

TEST_F(TransferWorkerTest, StopFlagEndsTheTransferAfterTheCurrentPiece) {
    observer.stopAfterPieces = 2;
    const TransferOutcome outcome = Send(PatternImage(5 * 2048));
    EXPECT_EQ(outcome.result, TransferResult::Stopped);
    EXPECT_EQ(outcome.sent, 4096u);
    EXPECT_EQ(pipe.AcceptedWriteSizes(), (std::vector<std::size_t>{20, 2048, 2048}));
    EXPECT_EQ(OutcomeMessageKey(outcome.result), "1032");
}

TEST_F(TransferWorkerTest, StopRaisedBeforeTheStartSendsNothing) {
    observer.stop.store(true);
    const TransferOutcome outcome = Send(PatternImage(100));
    EXPECT_EQ(outcome.result, TransferResult::Stopped);
    EXPECT_TRUE(pipe.received().empty());
    EXPECT_EQ(pipe.closes(), 1);
}

TEST_F(TransferWorkerTest, ImageShorterThanHeaderAndFourBytesIsNeverWritten) {
    TransferState state;
    state.image = os::AllocateFileBlock(1027);
    state.imageSize = 1027;
    state.pipe = pipe.Open();
    const TransferOutcome outcome = TransferWorker(sleeper, clock).Run(std::move(state), observer, observer.stop);
    EXPECT_EQ(outcome.result, TransferResult::Failed);
    EXPECT_EQ(outcome.failure, TransferFailure::ImageTooSmall);
    EXPECT_TRUE(pipe.calls().empty());
    EXPECT_EQ(pipe.closes(), 1);
    EXPECT_EQ(observer.besideCalls, 0);
}

TEST_F(TransferWorkerTest, PipeIsClosedExactlyOnceBeforeTheEndIsReportedOnEveryPath) {
    const std::vector<std::function<void(FakePipe&, RecordingObserver&)>> setups = {
        [](FakePipe&, RecordingObserver&) {},                                                   // complete
        [](FakePipe& p, RecordingObserver&) { p.answer = [](auto, auto) { return Failed(); }; },  // header dead
        [](FakePipe& p, RecordingObserver&) {                                                   // piece dead
            p.answer = [](std::size_t i, std::size_t n) { return i == 0 ? Taken(n) : Failed(); };
        },
        [](FakePipe& p, RecordingObserver&) {  // stalled
            p.answer = [](std::size_t i, std::size_t n) { return i == 0 ? Taken(n) : Holds(); };
        },
        [](FakePipe&, RecordingObserver& o) { o.stopAfterPieces = 1; },  // stopped
    };
    for (std::size_t i = 0; i < setups.size(); ++i) {
        SCOPED_TRACE(i);
        FakeClock localClock;
        FakeSleeper localSleeper{localClock};
        FakePipe localPipe{localClock};
        RecordingObserver localObserver{&localPipe};
        setups[i](localPipe, localObserver);
        const auto file = PatternImage(3 * 2048);
        TransferState state;
        state.image = testing::CopyToBlock(file);
        state.imageSize = file.size();
        state.pipe = localPipe.Open();
        localObserver.block = state.image;
        TransferWorker(localSleeper, localClock).Run(std::move(state), localObserver, localObserver.stop);
        EXPECT_FALSE(localObserver.blockHeldWhenFinished);
        EXPECT_EQ(localPipe.closes(), 1);
        EXPECT_EQ(localPipe.foreignCloses(), 0);
        EXPECT_EQ(localObserver.finishedCalls, 1);
        EXPECT_EQ(localObserver.pipeClosesWhenFinished, 1);
        EXPECT_EQ(localObserver.finished.result == TransferResult::Complete, i == 0);
        // Whatever the end, the payload was offered beside the send, once
        // and whole.
        EXPECT_EQ(localObserver.besideCalls, 1);
        EXPECT_TRUE(localObserver.payloadBeside == std::vector<std::uint8_t>(file.begin() + 1024, file.end()));
    }
}

}  // namespace
}  // namespace tarnwick
