// Every kind of handle a device library may hand out on this system,
// written through the real platform layer: the transfer ends as the write
// contract says, a stop is honoured within a second even on a handle that
// blocks, and the far end got exactly the first bytes of the stream that
// "sent" counts, none twice and none missing, also when a write under way
// was cancelled.

#include <gtest/gtest.h>

#include <thread>

#include "image/transfer_worker.h"
#include "tests/support/temp_dir.h"
#include "tests/transfer/handle_kinds.h"
#include "tests/transfer/transfer_fakes.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::FarEnd;
using testing::HandleKind;

// Retries without pausing, so that a handle that fails every write spends
// its attempts in moments; the clock stays real.
class NoPause final : public os::Sleeper {
public:
    void Sleep(std::chrono::milliseconds) override {}
};

class HandleKindTest : public ::testing::TestWithParam<HandleKind> {};

TEST_P(HandleKindTest, EndsAsTheContractSaysWithAnExactPrefixArrived) {
    const HandleKind& kind = GetParam();
    test::TempDir folder;
    const auto opened = testing::OpenHandle(kind, folder.path());
    ASSERT_NE(opened, nullptr);

    std::optional<std::vector<std::uint8_t>> arrived;
    std::thread reader;
    if (kind.farEnd == FarEnd::ReadAWhile || kind.farEnd == FarEnd::HangUp) {
        reader = std::thread([&] {
            arrived = opened->ReadFarEnd(testing::kReadAWhile);
            if (kind.farEnd == FarEnd::HangUp) {
                opened->CloseFarEnd();
            }
        });
    }

    const auto file = testing::PatternImage(1u << 20);
    TransferState state;
    state.image = testing::CopyToBlock(file);
    state.imageSize = file.size();
    state.pipe = os::RealSystem().handles.Adopt(opened->handle());
    testing::RecordingObserver observer;
    NoPause noPause;

    // A handle that stalls is stopped part-way, as a user or a signal would.
    const bool stalls = kind.result == TransferResult::Stopped;
    Clock::time_point stopAt{};
    std::thread stopper;
    if (stalls) {
        stopper = std::thread([&] {
            std::this_thread::sleep_for(300ms);
            stopAt = Clock::now();
            observer.stop.store(true);
        });
    }
    const TransferOutcome outcome =
        TransferWorker(noPause, os::RealSystem().clock).Run(std::move(state), observer, observer.stop);
    const Clock::time_point endedAt = Clock::now();
    if (stopper.joinable()) {
        stopper.join();
    }
    if (reader.joinable()) {
        reader.join();
    }

    EXPECT_EQ(outcome.result, kind.result);
    EXPECT_EQ(outcome.failure, kind.failure);
    if (stalls) {
        EXPECT_LT(endedAt - stopAt, 1s);
        EXPECT_LT(outcome.sent, outcome.payload);
    }

    // The pipe is closed now: what is left at the far end reads to its end.
    const auto stream = testing::ExpectedStream(file);
    if (const auto rest = opened->ReadFarEnd(stream.size())) {
        if (!arrived) {
            arrived.emplace();
        }
        arrived->insert(arrived->end(), rest->begin(), rest->end());
    }
    if (arrived) {
        const std::size_t counted = (outcome.headerSent ? 20 : 0) + outcome.sent;
        // A far end that hung up drops what it had not read.
        if (kind.farEnd == FarEnd::HangUp) {
            ASSERT_LE(arrived->size(), counted);
        } else {
            ASSERT_EQ(arrived->size(), counted) << "bytes arrived that \"sent\" does not count, or the other way round";
        }
        EXPECT_TRUE(std::equal(arrived->begin(), arrived->end(), stream.begin()))
            << "what arrived is not the start of the stream";
    }
}

INSTANTIATE_TEST_SUITE_P(EveryKind, HandleKindTest, ::testing::ValuesIn(testing::HandleKindsOfThisSystem()),
                         [](const ::testing::TestParamInfo<HandleKind>& info) {
                             const FarEnd farEnd = info.param.farEnd;
                             return info.param.name + (farEnd == FarEnd::ReadAWhile ? "_read_a_while"
                                                       : farEnd == FarEnd::HangUp   ? "_hung_up"
                                                                                    : "");
                         });

}  // namespace
}  // namespace tarnwick
