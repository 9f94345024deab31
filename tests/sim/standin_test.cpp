// The stand-in device library, loaded in-process through the tool's own
// binding, against the real simulator and against every way of it being
// absent. A probe must never keep the caller waiting.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

#include "device/device_library.h"
#include "device/presence_monitor.h"
#include "support/sha256.h"
#include "platform/posix/posix_system.h"
#include "tests/support/bin_dir.h"
#include "tests/support/process_usage.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_dir.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

constexpr auto kProbeBound = 100ms;

// Points the stand-in (loaded by bare name, found beside the test) at a
// socket for the life of the object.
class SocketVariable {
public:
    explicit SocketVariable(const std::string& path) { setenv("VANTREL_SIM_SOCKET", path.c_str(), 1); }
    ~SocketVariable() { unsetenv("VANTREL_SIM_SOCKET"); }
};

struct TimedCall {
    DeviceCall call;
    std::chrono::nanoseconds took;
};

class StandinTest : public ::testing::Test {
protected:
    TimedCall Probe() {
        const auto start = SteadyClock::now();
        const DeviceCall call = library.OpenDev();
        return {call, SteadyClock::now() - start};
    }
    // A probe that finds a device closes what it got, as the monitor does.
    bool ProbeFindsDevice() {
        const DeviceCall call = library.OpenDev();
        EXPECT_EQ(call.status, LibraryStatus::Called);
        io.Close(call.handle);
        return call.handle != os::kInvalidHandle;
    }
    void ExpectQuickNoDevice(const char* why) {
        SCOPED_TRACE(why);
        const TimedCall probe = Probe();
        EXPECT_EQ(probe.call.status, LibraryStatus::Called);
        EXPECT_EQ(probe.call.handle, os::kInvalidHandle);
        EXPECT_LT(probe.took, kProbeBound);
        EXPECT_EQ(library.OpenFile("PIPE00").handle, os::kInvalidHandle);
    }
    static bool WriteAll(os::DevicePipe& pipe, std::span<const std::uint8_t> bytes) {
        while (!bytes.empty()) {
            const os::WriteResult result = pipe.Write(bytes);
            if (result.status == os::WriteStatus::Failed || result.status == os::WriteStatus::Broken) {
                return false;
            }
            bytes = bytes.subspan(result.accepted);
        }
        return true;
    }

    os::posix::DlLibraryLoader loader;
    os::posix::FdHandleIo io;
    DeviceLibrary library{loader, test::StandinLibraryName()};
};

TEST_F(StandinTest, NoSimulatorAtAllMeansNoDeviceAtOnce) {
    test::TempDir folder;
    SocketVariable socket(folder.File("nobody.sock"));
    ExpectQuickNoDevice("no socket file");
}

TEST_F(StandinTest, ASimulatorThatDiedLeavesNoDeviceAndNoHang) {
    test::SimProcess sim;
    ASSERT_TRUE(sim.ready()) << sim.Log();
    SocketVariable socket(sim.socketPath());
    ASSERT_TRUE(ProbeFindsDevice());

    sim.Kill();  // the socket file stays behind, with nobody listening

    struct stat info {};
    ASSERT_EQ(lstat(sim.socketPath().c_str(), &info), 0);
    ExpectQuickNoDevice("stale socket file");
}

TEST_F(StandinTest, AListenerThatNeverAnswersCostsAtMostTheProbeBound) {
    test::TempDir folder;
    const std::string path = folder.File("silent.sock");
    const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    SocketVariable socket(path);

    const TimedCall probe = Probe();

    EXPECT_EQ(probe.call.handle, os::kInvalidHandle);
    EXPECT_LT(probe.took, kProbeBound);
    close(listener);
}

TEST_F(StandinTest, ASocketInAFolderOfAnotherUserIsNeverCalled) {
    test::SimProcess sim;
    ASSERT_TRUE(sim.ready()) << sim.Log();
    // The simulator is there and would answer; only the folder is wrong.
    const std::string folder = sim.folder();
    if (geteuid() == 0) {
        ASSERT_EQ(chown(folder.c_str(), 65534, 65534), 0);
    } else {
        GTEST_SKIP() << "changing a folder's owner needs root";
    }
    SocketVariable socket(sim.socketPath());

    ExpectQuickNoDevice("folder owned by another user");
    ASSERT_EQ(chown(folder.c_str(), 0, 0), 0);
}

TEST_F(StandinTest, ASocketInAFolderOpenToOthersIsNeverCalled) {
    test::SimProcess sim;
    ASSERT_TRUE(sim.ready()) << sim.Log();
    ASSERT_EQ(chmod(sim.folder().c_str(), 0755), 0);
    SocketVariable socket(sim.socketPath());

    ExpectQuickNoDevice("folder open to others");
    ASSERT_EQ(chmod(sim.folder().c_str(), 0700), 0);
    EXPECT_TRUE(ProbeFindsDevice());
}

TEST_F(StandinTest, ProbesFollowAttachAndDetach) {
    test::SimProcess sim({.detached = true});
    ASSERT_TRUE(sim.ready()) << sim.Log();
    SocketVariable socket(sim.socketPath());

    EXPECT_FALSE(ProbeFindsDevice());
    EXPECT_EQ(library.OpenFile("PIPE00").handle, os::kInvalidHandle);
    ASSERT_TRUE(sim.Attach());
    EXPECT_TRUE(ProbeFindsDevice());
    ASSERT_TRUE(sim.Detach());
    EXPECT_FALSE(ProbeFindsDevice());
}

TEST_F(StandinTest, ThePipeOutlivesTheLibraryAndCarriesTheStreamWhileProbesGoOn) {
    test::SimProcess sim;
    ASSERT_TRUE(sim.ready()) << sim.Log();
    SocketVariable socket(sim.socketPath());

    // OpenFile has unloaded the library before it returns.
    const DeviceCall pipe = library.OpenFile("PIPE00");
    ASSERT_EQ(pipe.status, LibraryStatus::Called);
    ASSERT_NE(pipe.handle, os::kInvalidHandle);
    std::unique_ptr<os::DevicePipe> written = io.Adopt(pipe.handle);
    ASSERT_TRUE(written->BindWriter());

    std::array<std::uint8_t, 20> header{'$', 1, 1, 0, 0, 0, 0, 0x10, 0x04, 0, 0, 1, 0, 0, 0, 9, 8, 7, 6, 5};
    std::vector<std::uint8_t> payload(3 * 2048 + 100);
    for (std::size_t i = 0; i < payload.size(); ++i) {
        payload[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    ASSERT_TRUE(WriteAll(*written, header));
    ASSERT_TRUE(WriteAll(*written, std::span(payload).first(2048)));
    // The device keeps answering probes, and refuses a second pipe, while
    // this one is open.
    EXPECT_TRUE(ProbeFindsDevice());
    EXPECT_EQ(library.OpenFile("PIPE00").handle, os::kInvalidHandle);
    ASSERT_TRUE(WriteAll(*written, std::span(payload).subspan(2048)));
    written.reset();

    const std::optional<test::SimTransfer> transfer = sim.WaitForTransfer(1);
    ASSERT_TRUE(transfer) << sim.Log();
    EXPECT_EQ(transfer->outcome, "complete");
    EXPECT_EQ(transfer->headerHex, Sha256::HexOf(header));
    EXPECT_EQ(transfer->payloadBytes, payload.size());
    Sha256 expected;
    expected.Update(payload);
    EXPECT_EQ(transfer->payloadSha256, expected.FinishHex());
}

TEST_F(StandinTest, OnlyTheKnownPipeNameIsServed) {
    test::SimProcess sim;
    ASSERT_TRUE(sim.ready()) << sim.Log();
    SocketVariable socket(sim.socketPath());

    for (const char* name : {"PIPE01", "", "PIPE00 X", "PIPE00\nDEV"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(library.OpenFile(name).handle, os::kInvalidHandle);
    }
}

TEST_F(StandinTest, TenThousandProbesOfALiveSimulatorLeakNothing) {
    test::SimProcess sim;
    ASSERT_TRUE(sim.ready()) << sim.Log();
    SocketVariable socket(sim.socketPath());
    PresenceMonitor monitor(library, io);
    for (int i = 0; i < 200; ++i) {
        monitor.OnTimer(kDeviceTimerId);
    }
    ASSERT_TRUE(monitor.devicePresent());
    const std::size_t descriptors = test::OpenDescriptorCount();
    const std::size_t resident = test::ResidentBytes();

    for (int i = 0; i < 10000; ++i) {
        monitor.OnTimer(kDeviceTimerId);
    }

    EXPECT_TRUE(monitor.devicePresent());
    EXPECT_EQ(test::OpenDescriptorCount(), descriptors);
    if (test::ResidentSizeIsMeaningful()) {
        EXPECT_LE(test::ResidentBytes(), resident + 512 * 1024);
    }
}

}  // namespace
}  // namespace tarnwick
