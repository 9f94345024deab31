// The cost of one presence probe as the window pays it every second: load
// the device library, call open_dev, unload it, close the handle. Measured
// against a running vantrel-sim ($VANTREL_SIM_SOCKET when one answers
// there, otherwise one started beside this program for the run).
// Target: under 1 ms per probe.

#include <benchmark/benchmark.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "device/device_library.h"
#include "device/presence_monitor.h"
#include "platform/system.h"
#include "sim/control_client.h"

namespace {

using namespace tarnwick;

std::string g_socket;

bool Answers(const std::string& socket) {
    return sim::AskSimulator(socket, "STATUS\n", 1000).has_value();
}

bool SetAttached(bool attached) {
    return sim::AskSimulator(g_socket, attached ? "ATTACH\n" : "DETACH\n", 1000).has_value();
}

// A simulator of our own, for runs without one.
class OwnSimulator {
public:
    bool Start() {
        char folder[] = "/tmp/tarnwick-bench-XXXXXX";
        if (mkdtemp(folder) == nullptr) {
            return false;
        }
        folder_ = folder;
        g_socket = folder_ + "/sim.sock";
        const std::string program = os::RealSystem().process.ExecutablePath();
        const std::string sim = program.substr(0, program.rfind('/')) + "/vantrel-sim";
        pid_ = fork();
        if (pid_ == 0) {
            execl(sim.c_str(), sim.c_str(), "serve", "--socket", g_socket.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int i = 0; i < 500 && pid_ > 0; ++i) {
            if (Answers(g_socket)) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    ~OwnSimulator() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        if (!folder_.empty()) {
            rmdir(folder_.c_str());
        }
    }

private:
    pid_t pid_ = -1;
    std::string folder_;
};

void Probe(benchmark::State& state, bool attached) {
    if (!SetAttached(attached)) {
        state.SkipWithError("the simulator does not answer");
        return;
    }
    os::System& system = os::RealSystem();
    DeviceLibrary library(system.libraries);
    PresenceMonitor monitor(library, system.handles);
    for (auto _ : state) {
        const PresenceMonitor::Tick tick = monitor.OnTimer(kDeviceTimerId);
        benchmark::DoNotOptimize(tick.decision.devicePresent);
    }
    if (monitor.devicePresent() != attached) {
        state.SkipWithError("the probe did not see what the simulator plays");
    }
    state.counters["target_ms"] = 1.0;
}

void BM_ProbeWithDeviceAttached(benchmark::State& state) { Probe(state, true); }
void BM_ProbeWithNoDevice(benchmark::State& state) { Probe(state, false); }

BENCHMARK(BM_ProbeWithDeviceAttached)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ProbeWithNoDevice)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    OwnSimulator own;
    const char* chosen = std::getenv("VANTREL_SIM_SOCKET");
    if (chosen != nullptr && Answers(chosen)) {
        g_socket = chosen;
    } else if (!own.Start()) {
        std::fprintf(stderr, "bench_probe: no simulator could be started\n");
        return 1;
    }
    // The stand-in library finds the simulator through this.
    setenv("VANTREL_SIM_SOCKET", g_socket.c_str(), 1);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    SetAttached(true);
    return 0;
}
