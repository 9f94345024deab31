// Every kind of handle a device library may hand out, each from a test
// double of the library loaded through the real loader and written through
// the real platform layer: the transfer ends as the write contract says,
// a stop is honoured within a second even on a handle that blocks, and the
// far end got exactly the first bytes of the stream that "sent" counts.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <thread>
#include <unistd.h>

#include "device/device_library.h"
#include "image/transfer_worker.h"
#include "platform/posix/posix_system.h"
#include "tests/support/bin_dir.h"
#include "tests/support/temp_dir.h"
#include "tests/transfer/transfer_fakes.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Retries without pausing, so that a handle that fails every write spends
// its attempts in moments; the clock stays real.
class NoPause final : public os::Sleeper {
public:
    void Sleep(std::chrono::milliseconds) override {}
};

enum class FarEnd {
    None,       // nothing to read back (a device, or the far end is gone)
    Unread,     // a pipe or terminal that nobody reads
    ReadAWhile, // read until 100000 bytes came, then no more
    File,       // the plain file TARNWICK_DOUBLE_FILE
};

struct HandleKind {
    const char* name;
    FarEnd farEnd;
    TransferResult result;
    TransferFailure failure;
};

std::ostream& operator<<(std::ostream& out, const HandleKind& kind) { return out << kind.name; }

constexpr std::size_t kReadAWhile = 100'000;

// Reads `limit` bytes (or up to the end) from `fd`, blocking.
std::vector<std::uint8_t> ReadFrom(int fd, std::size_t limit) {
    std::vector<std::uint8_t> bytes;
    std::uint8_t buffer[4096];
    while (bytes.size() < limit) {
        const ssize_t got = read(fd, buffer, std::min(sizeof buffer, limit - bytes.size()));
        if (got <= 0) {
            break;
        }
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return bytes;
}

class HandleKindTest : public ::testing::TestWithParam<HandleKind> {};

TEST_P(HandleKindTest, EndsAsTheContractSaysWithAnExactPrefixArrived) {
    const HandleKind& kind = GetParam();
    test::TempDir folder;
    const std::string sink = folder.File("device.bin");
    setenv("TARNWICK_DOUBLE_FILE", sink.c_str(), 1);
    unsetenv("TARNWICK_DOUBLE_FAR_END");

    os::posix::DlLibraryLoader loader;
    const DeviceCall call = DeviceLibrary(loader, test::DoubleLibraryPath(kind.name)).OpenFile("PIPE00");
    ASSERT_EQ(call.status, LibraryStatus::Called);
    ASSERT_NE(call.handle, os::kInvalidHandle);
    const char* farEndNumber = getenv("TARNWICK_DOUBLE_FAR_END");
    const int farEnd = farEndNumber != nullptr ? std::atoi(farEndNumber) : -1;
    const bool readable = kind.farEnd == FarEnd::Unread || kind.farEnd == FarEnd::ReadAWhile;
    ASSERT_EQ(readable, farEnd >= 0);

    std::vector<std::uint8_t> arrived;
    std::thread reader;
    if (kind.farEnd == FarEnd::ReadAWhile) {
        reader = std::thread([&] { arrived = ReadFrom(farEnd, kReadAWhile); });
    }

    const auto file = testing::PatternImage(1u << 20);
    TransferState state;
    state.image = testing::CopyToBlock(file);
    state.imageSize = file.size();
    state.pipe = os::RealSystem().handles.Adopt(call.handle);
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

    const auto stream = testing::ExpectedStream(file);
    if (readable) {
        // The write end is closed now: the rest reads to its end.
        const auto rest = ReadFrom(farEnd, stream.size());
        arrived.insert(arrived.end(), rest.begin(), rest.end());
        close(farEnd);
    } else if (kind.farEnd == FarEnd::File) {
        const int written = open(sink.c_str(), O_RDONLY | O_CLOEXEC);
        arrived = ReadFrom(written, stream.size());
        close(written);
    }
    if (kind.farEnd != FarEnd::None) {
        const std::size_t counted = (outcome.headerSent ? 20 : 0) + outcome.sent;
        ASSERT_EQ(arrived.size(), counted) << "bytes arrived that \"sent\" does not count, or the other way round";
        EXPECT_TRUE(std::equal(arrived.begin(), arrived.end(), stream.begin()))
            << "what arrived is not the start of the stream";
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, HandleKindTest,
    ::testing::Values(
        HandleKind{"blocking_pipe", FarEnd::Unread, TransferResult::Stopped, TransferFailure::None},
        HandleKind{"blocking_pipe", FarEnd::ReadAWhile, TransferResult::Stopped, TransferFailure::None},
        HandleKind{"nonblocking_pipe", FarEnd::Unread, TransferResult::Stopped, TransferFailure::None},
        HandleKind{"pty_device", FarEnd::Unread, TransferResult::Stopped, TransferFailure::None},
        HandleKind{"plain_file", FarEnd::File, TransferResult::Complete, TransferFailure::None},
        HandleKind{"dev_full", FarEnd::None, TransferResult::Failed, TransferFailure::HeaderNotTaken},
        HandleKind{"failing_pipe", FarEnd::None, TransferResult::Failed, TransferFailure::PipeBroken}),
    [](const ::testing::TestParamInfo<HandleKind>& info) {
        return std::string(info.param.name) + (info.param.farEnd == FarEnd::ReadAWhile ? "_read_a_while" : "");
    });

}  // namespace
}  // namespace tarnwick
