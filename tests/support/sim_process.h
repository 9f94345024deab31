#pragma once
// The real vantrel-sim as a child process of a test, on a socket, store and
// report of its own in a private temporary folder. Stopped (and, if need
// be, killed) when the object goes, so no test leaves a simulator behind;
// it also dies with the thread that started it should the test crash.
//
//   test::SimProcess sim({.rate = 1'200'000});
//   ASSERT_TRUE(sim.ready()) << sim.Log();
//   setenv("VANTREL_SIM_SOCKET", sim.socketPath().c_str(), 1);   // or sim.Environment()
//   ... run the tool ...
//   auto transfer = sim.WaitForTransfer(1);
//   EXPECT_EQ(transfer->payloadSha256, ...);

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace tarnwick::test {

struct SimOptions {
    bool detached = false;
    std::uint64_t rate = 0;  // bytes per second, 0 unlimited
    std::optional<std::uint64_t> stallAfter = std::nullopt;
    std::optional<std::uint64_t> dropAfter = std::nullopt;
    bool store = true;  // keep payloads in storeDir()
    bool tcp = false;   // listen on loopback TCP too, at a free port
};

// One transfer as the simulator's JSON report gives it.
struct SimTransfer {
    unsigned index = 0;
    std::string pipe;
    std::string outcome;  // "complete", "dropped", "stalled", "no-signature", ...
    bool complete = false;
    std::size_t headerBytes = 0;
    std::string headerHex;  // the header packet as received, in hex
    unsigned signature = 0;
    unsigned port = 0;
    unsigned flashType = 0;
    std::uint64_t startAddress = 0;
    std::int64_t fileSize = 0;
    std::int64_t packetCount = 0;
    std::uint64_t payloadBytes = 0;
    std::string payloadSha256;
    double seconds = 0;
    std::string storedPath;
};

struct SimStatus {
    bool attached = false;
    unsigned finished = 0;  // transfers ended so far
    bool transferRunning = false;
};

class SimProcess {
public:
    explicit SimProcess(SimOptions options = {});
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;
    ~SimProcess();

    // Started and answering on its socket.
    bool ready() const { return ready_; }
    pid_t pid() const { return process_ ? process_->pid() : -1; }
    const std::string& socketPath() const { return socketPath_; }
    std::string storeDir() const { return folder_.File("store"); }
    std::string reportPath() const { return folder_.File("report.json"); }
    const std::string& folder() const { return folder_.path(); }
    // "VANTREL_SIM_SOCKET=<socket>", for a child's environment.
    std::string Environment() const;
    // "VANTREL_SIM_TCP=127.0.0.1:<port>", for a Windows child's environment;
    // empty unless started with tcp.
    std::string TcpEnvironment() const;

    // Through `vantrel-sim attach|detach`, as a user would; true when the
    // simulator confirmed.
    bool Attach();
    bool Detach();
    std::optional<SimStatus> Status() const;

    // Every transfer in the report so far (empty when none or unreadable).
    std::vector<SimTransfer> Transfers() const;
    // Waits until `count` transfers have ended, then gives the last of them.
    std::optional<SimTransfer> WaitForTransfer(unsigned count,
                                               std::chrono::milliseconds timeout = std::chrono::seconds(30)) const;
    // What the simulator printed (summary lines on stdout, notes on stderr).
    std::string Log() const;

    // SIGTERM and wait; true when it ended by itself with status 0.
    bool Stop();
    // SIGKILL: a simulator that dies without cleaning up (its socket stays).
    void Kill();

private:
    bool RunControl(const char* command);

    TempDir folder_;
    std::string socketPath_;
    std::string tcpAddress_;
    std::optional<ChildProcess> process_;
    bool ready_ = false;
};

}  // namespace tarnwick::test
