// The simulator as a child process: started, asked, attached and detached,
// reporting what it received, and gone without a trace when stopped.
#include <gtest/gtest.h>

#include <csignal>
#include <sys/socket.h>
#include <sys/stat.h>

#include "tests/sim/raw_connection.h"
#include "tests/support/bin_dir.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_dir.h"

namespace tarnwick {
namespace {

bool Exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

TEST(SimProcess, StartsAttachedAnswersAndStopsCleanly) {
    std::string socket;
    {
        test::SimProcess sim;
        ASSERT_TRUE(sim.ready()) << sim.Log();
        socket = sim.socketPath();
        const std::optional<test::SimStatus> status = sim.Status();
        ASSERT_TRUE(status);
        EXPECT_TRUE(status->attached);
        EXPECT_EQ(status->finished, 0u);
        EXPECT_FALSE(status->transferRunning);
        EXPECT_TRUE(sim.Transfers().empty());
        EXPECT_TRUE(sim.Stop()) << sim.Log();
        EXPECT_FALSE(Exists(socket)) << "the socket file outlived the simulator";
        EXPECT_EQ(kill(sim.pid(), 0), -1) << "the simulator still runs";
    }
}

TEST(SimProcess, AttachAndDetachAtRunTime) {
    test::SimProcess sim({.detached = true});
    ASSERT_TRUE(sim.ready()) << sim.Log();
    EXPECT_FALSE(sim.Status()->attached);

    ASSERT_TRUE(sim.Attach());
    EXPECT_TRUE(sim.Status()->attached);
    ASSERT_TRUE(sim.Detach());
    EXPECT_FALSE(sim.Status()->attached);
}

TEST(SimProcess, SignalsAttachAndDetachToo) {
    test::SimProcess sim({.detached = true});
    ASSERT_TRUE(sim.ready()) << sim.Log();

    kill(sim.pid(), SIGUSR1);
    for (int i = 0; i < 200 && !sim.Status()->attached; ++i) {
        usleep(5000);
    }
    EXPECT_TRUE(sim.Status()->attached);
    kill(sim.pid(), SIGUSR2);
    for (int i = 0; i < 200 && sim.Status()->attached; ++i) {
        usleep(5000);
    }
    EXPECT_FALSE(sim.Status()->attached);
}

TEST(SimProcess, DestructionLeavesNoProcessBehind) {
    pid_t pid = -1;
    {
        test::SimProcess sim;
        ASSERT_TRUE(sim.ready()) << sim.Log();
        pid = sim.pid();
    }
    EXPECT_EQ(kill(pid, 0), -1);
}

TEST(SimProcess, LoopbackTcpSpeaksTheSameWire) {
    test::SimProcess sim({.tcp = true});
    ASSERT_TRUE(sim.ready()) << sim.Log();
    ASSERT_EQ(sim.TcpEnvironment().rfind("VANTREL_SIM_TCP=127.0.0.1:", 0), 0u) << sim.TcpEnvironment();
    {
        testing::RawConnection status = testing::RawConnection::ToTcp(sim.TcpEnvironment());
        ASSERT_TRUE(status.connected());
        ASSERT_TRUE(status.Send("STATUS\n"));
        EXPECT_EQ(status.Answer(), "attached 0 0");
    }
    {
        testing::RawConnection pipe = testing::RawConnection::ToTcp(sim.TcpEnvironment());
        ASSERT_TRUE(pipe.Send("PIPE PIPE00\n"));
        ASSERT_EQ(pipe.Answer(), "1");
        std::string header(20, '\0');
        header[0] = '$';
        header[1] = 1;
        ASSERT_TRUE(pipe.Send(header + std::string(5000, 'p')));
    }
    const std::optional<test::SimTransfer> transfer = sim.WaitForTransfer(1);
    ASSERT_TRUE(transfer) << sim.Log();
    EXPECT_EQ(transfer->outcome, "complete");
    EXPECT_EQ(transfer->payloadBytes, 5000u);
}

TEST(SimProcess, AttachAgainstNoSimulatorFails) {
    test::TempDir folder;
    const std::optional<test::ProgramResult> result =
        test::RunProgram(test::BinPath("vantrel-sim"), {"attach", "--socket", folder.File("none.sock")});
    ASSERT_TRUE(result);
    EXPECT_NE(result->exitCode, 0);
    EXPECT_NE(result->output.find("no simulator answers"), std::string::npos) << result->output;
}

}  // namespace
}  // namespace tarnwick
