// The simulator against callers that misbehave, and against the limits it
// is told to play: it must record what happened and go on serving.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "tests/sim/raw_connection.h"
#include "tests/support/bin_dir.h"
#include "tests/support/child_process.h"
#include "tests/support/device_checks.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_dir.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;

using testing::RawConnection;

std::string Header(char signature = '$', char port = 1) {
    std::string header(20, '\x11');
    header[0] = signature;
    header[1] = port;
    return header;
}

// Opens the pipe and gives the connection, ready for the stream.
std::unique_ptr<RawConnection> OpenPipe(const test::SimProcess& sim) {
    auto pipe = std::make_unique<RawConnection>(RawConnection::ToSocket(sim.socketPath()));
    if (!pipe->connected() || !pipe->Send("PIPE PIPE00\n") || pipe->Answer() != "1") {
        return nullptr;
    }
    return pipe;
}

TEST(SimFaults, GarbageAndHalfClosedConnectionsLeaveItServing) {
    test::SimProcess sim;
    ASSERT_TRUE(sim.ready()) << sim.Log();
    std::mt19937 random(42);
    std::vector<std::string> garbage{"HELLO\n", "DEV", std::string(5000, 'x'), std::string("\0\0\0\n", 4),
                                     "PIPE\n", "PIPE PIPE00"};
    for (int i = 0; i < 20; ++i) {
        std::string noise(1 + random() % 300, '\0');
        for (char& c : noise) {
            c = static_cast<char>(random());
        }
        garbage.push_back(noise);
    }
    for (const std::string& bytes : garbage) {
        RawConnection connection = RawConnection::ToSocket(sim.socketPath());
        ASSERT_TRUE(connection.connected());
        connection.Send(bytes);
        shutdown(connection.fd(), SHUT_WR);  // half-closed: nothing more will come
        EXPECT_EQ(connection.Answer(), "");
    }
    {
        RawConnection silent = RawConnection::ToSocket(sim.socketPath());  // connects and says nothing
        RawConnection gone = RawConnection::ToSocket(sim.socketPath());
        gone.Close();
        RawConnection probe = RawConnection::ToSocket(sim.socketPath());
        ASSERT_TRUE(probe.Send("DEV\n"));
        EXPECT_EQ(probe.Answer(), "1");
    }
    const std::optional<test::SimStatus> status = sim.Status();
    ASSERT_TRUE(status) << sim.Log();
    EXPECT_EQ(status->finished, 0u);
    EXPECT_TRUE(sim.Stop()) << sim.Log();
}

TEST(SimFaults, StreamsThatEndBadlyAreRecordedAsCutShort) {
    test::SimProcess sim;
    ASSERT_TRUE(sim.ready()) << sim.Log();
    struct Case {
        std::string stream;
        const char* outcome;
        std::size_t headerBytes;
    };
    const Case cases[] = {
        {"", "short-header", 0},
        {Header().substr(0, 11), "short-header", 11},
        {Header('#') + "payload", "no-signature", 20},
        {Header('$', 0) + "payload", "uart-port", 20},
        {Header() + "payload", "complete", 20},
    };
    unsigned count = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.outcome);
        // One pipe at a time: the last transfer is recorded a moment before
        // its connection lets the pipe go.
        ASSERT_TRUE(testing::WaitUntilIdle(sim, count));
        auto pipe = OpenPipe(sim);
        ASSERT_TRUE(pipe);
        pipe->Send(c.stream);
        pipe->Close();
        const std::optional<test::SimTransfer> transfer = sim.WaitForTransfer(++count);
        ASSERT_TRUE(transfer) << sim.Log();
        EXPECT_EQ(transfer->outcome, c.outcome);
        EXPECT_EQ(transfer->complete, std::string(c.outcome) == "complete");
        EXPECT_EQ(transfer->headerBytes, c.headerBytes);
    }
    EXPECT_EQ(sim.Transfers().back().payloadBytes, 7u);
}

TEST(SimFaults, ACompleteStreamMayEndWithAHalfClose) {
    test::SimProcess sim;
    ASSERT_TRUE(sim.ready()) << sim.Log();
    auto pipe = OpenPipe(sim);
    ASSERT_TRUE(pipe);
    pipe->Send(Header() + "abcd");
    shutdown(pipe->fd(), SHUT_WR);

    const std::optional<test::SimTransfer> transfer = sim.WaitForTransfer(1);
    ASSERT_TRUE(transfer) << sim.Log();
    EXPECT_EQ(transfer->outcome, "complete");
    EXPECT_EQ(transfer->payloadBytes, 4u);
}

TEST(SimFaults, StallKeepsThePipeOpenButTakesNoMoreThanTheLimit) {
    test::SimProcess sim({.stallAfter = 10000});
    ASSERT_TRUE(sim.ready()) << sim.Log();
    auto pipe = OpenPipe(sim);
    ASSERT_TRUE(pipe);
    ASSERT_TRUE(pipe->Send(Header()));

    bool failed = false;
    pipe->Flood(300ms, &failed);
    EXPECT_FALSE(failed) << "a stalled device keeps the pipe open";
    EXPECT_TRUE(sim.Status()->transferRunning);
    pipe->Close();

    const std::optional<test::SimTransfer> transfer = sim.WaitForTransfer(1);
    ASSERT_TRUE(transfer) << sim.Log();
    EXPECT_EQ(transfer->outcome, "stalled");
    EXPECT_EQ(transfer->payloadBytes, 10000u);
    EXPECT_EQ(std::filesystem::file_size(transfer->storedPath), 10000u);
}

TEST(SimFaults, DropClosesThePipeAfterTheLimit) {
    test::SimProcess sim({.dropAfter = 10000});
    ASSERT_TRUE(sim.ready()) << sim.Log();
    auto pipe = OpenPipe(sim);
    ASSERT_TRUE(pipe);
    ASSERT_TRUE(pipe->Send(Header()));

    bool failed = false;
    pipe->Flood(5s, &failed);
    EXPECT_TRUE(failed) << "writes after a drop must fail";

    const std::optional<test::SimTransfer> transfer = sim.WaitForTransfer(1);
    ASSERT_TRUE(transfer) << sim.Log();
    EXPECT_EQ(transfer->outcome, "dropped");
    EXPECT_EQ(transfer->payloadBytes, 10000u);
    // A later pipe is served again.
    EXPECT_TRUE(OpenPipe(sim));
}

TEST(SimFaults, StoppingDuringATransferRecordsItAndExitsCleanly) {
    test::SimProcess sim;
    ASSERT_TRUE(sim.ready()) << sim.Log();
    auto pipe = OpenPipe(sim);
    ASSERT_TRUE(pipe);
    ASSERT_TRUE(pipe->Send(Header() + "partial"));
    for (int i = 0; i < 300 && !sim.Status()->transferRunning; ++i) {
        std::this_thread::sleep_for(1ms);
    }

    EXPECT_TRUE(sim.Stop()) << sim.Log();

    const std::vector<test::SimTransfer> transfers = sim.Transfers();
    ASSERT_EQ(transfers.size(), 1u) << sim.Log();
    EXPECT_EQ(transfers[0].outcome, "sim-stopped");
    EXPECT_FALSE(transfers[0].complete);
}

// Runs `vantrel-sim serve` on `socket` and gives the child.
std::unique_ptr<test::ChildProcess> Serve(const std::string& socket) {
    return std::make_unique<test::ChildProcess>(test::BinPath("vantrel-sim"),
                                                std::vector<std::string>{"serve", "--socket", socket});
}

TEST(SimSocket, AStaleSocketIsReplacedButALiveOneIsNot) {
    test::SimProcess dead;
    ASSERT_TRUE(dead.ready()) << dead.Log();
    dead.Kill();
    const std::string socket = dead.socketPath();

    auto second = Serve(socket);
    std::optional<std::string> line = second->ReadLine(5s);
    ASSERT_TRUE(line);
    EXPECT_NE(line->find("listening"), std::string::npos) << *line;

    auto third = Serve(socket);
    EXPECT_EQ(third->Wait(5s), 1);
    EXPECT_NE(third->ReadRest(1s).find("already listens"), std::string::npos);

    second->Signal(SIGTERM);
    EXPECT_EQ(second->Wait(5s), 0);
}

TEST(SimSocket, RefusesAFolderOthersCanEnter) {
    test::TempDir folder;
    ASSERT_EQ(chmod(folder.path().c_str(), 0755), 0);
    auto sim = Serve(folder.File("sim.sock"));
    EXPECT_EQ(sim->Wait(5s), 1);
    EXPECT_NE(sim->ReadRest(1s).find("open to other users"), std::string::npos);
}

TEST(SimSocket, RefusesAFolderOfAnotherUser) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "changing a folder's owner needs root";
    }
    test::TempDir folder;
    ASSERT_EQ(chown(folder.path().c_str(), 65534, 65534), 0);
    auto sim = Serve(folder.File("sim.sock"));
    EXPECT_EQ(sim->Wait(5s), 1);
    EXPECT_NE(sim->ReadRest(1s).find("belongs to another user"), std::string::npos);
}

TEST(SimSocket, MakesTheFallbackFolderPrivate) {
    test::TempDir folder;
    const std::string socket = folder.File("made/sim.sock");
    auto sim = Serve(socket);
    ASSERT_TRUE(sim->ReadLine(5s));
    struct stat info {};
    ASSERT_EQ(stat(folder.File("made").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    sim->Signal(SIGTERM);
    EXPECT_EQ(sim->Wait(5s), 0);
}

}  // namespace
}  // namespace tarnwick
