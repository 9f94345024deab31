// Whole transfers, measured against the real simulator in one run:
//  1. tarnwick-cli flash against an unthrottled simulator, as a ratio to a
//     plain loop of 2048-byte write() calls into the same simulator
//     (target >= 0.95);
//  2. the share of a 40 MB/s throttled rate that tarnwick-cli reaches
//     (target >= 0.98);
//  3. the peak resident size of tarnwick-cli flashing a 256 MiB image, as a
//     ratio to the image size (target <= 1.1 plus a small constant).
//
// Throughput is the transfer's own: from the first write to the closed
// pipe, as tarnwick-cli reports it in its end line and as the plain loop
// times itself. Loading and hashing the image before the first write are
// shown apart.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <regex>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "device/device_library.h"
#include "platform/system.h"
#include "tests/support/bin_dir.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace tarnwick;
using Seconds = std::chrono::duration<double>;
using SteadyClock = std::chrono::steady_clock;

constexpr std::uint64_t kThroughputPayload = 64u << 20;
constexpr std::uint64_t kMemoryPayload = 256u << 20;
constexpr std::uint64_t kHighSpeedRate = 40'000'000;
constexpr int kRounds = 5;

// An image of `payload` bytes after the 1024-byte header area, written in
// pieces so that the bench itself stays small.
bool WriteImage(const std::string& path, std::uint64_t payload) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    std::vector<std::uint8_t> chunk(1 << 20);
    for (std::size_t i = 0; i < chunk.size(); ++i) {
        chunk[i] = static_cast<std::uint8_t>(i * 131 + (i >> 10));
    }
    std::vector<std::uint8_t> header(1024, 0x11);
    header[0] = '$';
    header[1] = 1;
    header[2] = 1;
    bool ok = std::fwrite(header.data(), 1, header.size(), file) == header.size();
    for (std::uint64_t left = payload; ok && left > 0;) {
        const std::size_t now = static_cast<std::size_t>(std::min<std::uint64_t>(left, chunk.size()));
        ok = std::fwrite(chunk.data(), 1, now, file) == now;
        left -= now;
    }
    return std::fclose(file) == 0 && ok;
}

std::vector<std::uint8_t> ReadAll(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return bytes;
    }
    std::fseek(file, 0, SEEK_END);
    bytes.resize(static_cast<std::size_t>(std::ftell(file)));
    std::fseek(file, 0, SEEK_SET);
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file);
    bytes.resize(got);
    std::fclose(file);
    return bytes;
}

struct CliRun {
    int exitCode = -1;
    std::string output;
    std::uint64_t peakResidentBytes = 0;
    Seconds wall{0};
};

// tarnwick-cli flash IMAGE --yes --quiet, with its output captured and its
// peak resident size taken from the kernel's account of the child.
CliRun RunCli(const std::string& image, const std::string& socketPath) {
    CliRun run;
    int output[2];
    if (pipe2(output, O_CLOEXEC) != 0) {
        return run;
    }
    const std::string program = test::BinPath("tarnwick-cli");
    const auto start = SteadyClock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(output[1], STDOUT_FILENO);
        dup2(output[1], STDERR_FILENO);
        setenv("VANTREL_SIM_SOCKET", socketPath.c_str(), 1);
        execl(program.c_str(), program.c_str(), "flash", image.c_str(), "--yes", "--quiet",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(output[1]);
    char buffer[4096];
    for (ssize_t got; (got = read(output[0], buffer, sizeof buffer)) != 0;) {
        if (got > 0) {
            run.output.append(buffer, static_cast<std::size_t>(got));
        } else if (errno != EINTR) {
            break;
        }
    }
    close(output[0]);
    int status = 0;
    rusage usage{};
    if (pid > 0 && wait4(pid, &status, 0, &usage) == pid) {
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        run.peakResidentBytes = static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;
    }
    run.wall = SteadyClock::now() - start;
    return run;
}

// The transfer time from tarnwick-cli's end line ("... in 0.572 s ...").
std::optional<double> ReportedSeconds(const std::string& output) {
    static const std::regex kComplete(R"(complete: sent \d+ of \d+ payload bytes \([^)]*\) in ([0-9.]+) s)");
    std::smatch match;
    if (!std::regex_search(output, match, kComplete)) {
        return std::nullopt;
    }
    return std::stod(match[1].str());
}

bool WaitForFinished(const test::SimProcess& sim, unsigned count) {
    const auto deadline = SteadyClock::now() + std::chrono::seconds(60);
    while (SteadyClock::now() < deadline) {
        const auto status = sim.Status();
        if (status && status->finished >= count) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

// The plain loop: the same header packet and payload, 2048 bytes per
// write() on the pipe the stand-in library hands out, waiting for room
// whenever the socket is full.
std::optional<Seconds> PlainLoop(const std::vector<std::uint8_t>& image) {
    const DeviceCall call = DeviceLibrary(os::RealSystem().libraries).OpenFile("PIPE00");
    if (call.status != LibraryStatus::Called || call.handle < 0) {
        return std::nullopt;
    }
    const int fd = static_cast<int>(call.handle);
    auto writeAll = [fd](const std::uint8_t* bytes, std::size_t size) {
        while (size > 0) {
            const ssize_t done = write(fd, bytes, size);
            if (done > 0) {
                bytes += done;
                size -= static_cast<std::size_t>(done);
            } else if (done < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                pollfd wait{fd, POLLOUT, 0};
                poll(&wait, 1, 1000);
            } else if (done < 0 && errno != EINTR) {
                return false;
            }
        }
        return true;
    };
    const auto start = SteadyClock::now();
    bool ok = writeAll(image.data(), 20);
    for (std::size_t offset = 1024; ok && offset < image.size(); offset += 2048) {
        ok = writeAll(image.data() + offset, std::min<std::size_t>(2048, image.size() - offset));
    }
    close(fd);
    const Seconds took = SteadyClock::now() - start;
    return ok ? std::optional<Seconds>(took) : std::nullopt;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void Fail(const char* what, const std::string& detail = {}) {
    std::fprintf(stderr, "transfer bench: %s\n%s\n", what, detail.c_str());
    std::exit(1);
}

struct Figures {
    double cliSeconds = 0;
    double wallSeconds = 0;
};

// Runs tarnwick-cli once and checks that the device got everything.
Figures FlashOnce(const test::SimProcess& sim, const std::string& image, unsigned& transfers) {
    const CliRun run = RunCli(image, sim.socketPath());
    const std::optional<double> seconds = ReportedSeconds(run.output);
    if (run.exitCode != 0 || !seconds) {
        Fail("tarnwick-cli flash did not complete", run.output);
    }
    if (!WaitForFinished(sim, ++transfers) || !sim.Transfers().back().complete) {
        Fail("the simulator did not get a complete transfer", sim.Log());
    }
    return {*seconds, run.wall.count()};
}

}  // namespace

int main() {
    test::TempDir dir;
    const std::string image = dir.File("throughput.rad");
    const std::string large = dir.File("large.rad");
    if (!WriteImage(image, kThroughputPayload) || !WriteImage(large, kMemoryPayload)) {
        Fail("cannot write the bench images");
    }
    const std::vector<std::uint8_t> imageBytes = ReadAll(image);
    const double payloadBytes = static_cast<double>(kThroughputPayload);

    // 1. Unthrottled: tarnwick-cli against the plain loop, rounds interleaved.
    std::vector<double> cliRates, loopRates, setupSeconds;
    {
        test::SimProcess sim({.store = false});
        if (!sim.ready()) {
            Fail("the simulator did not start", sim.Log());
        }
        setenv("VANTREL_SIM_SOCKET", sim.socketPath().c_str(), 1);
        unsigned transfers = 0;
        for (int round = 0; round < kRounds; ++round) {
            const Figures cli = FlashOnce(sim, image, transfers);
            cliRates.push_back(payloadBytes / cli.cliSeconds);
            setupSeconds.push_back(cli.wallSeconds - cli.cliSeconds);
            const std::optional<Seconds> loop = PlainLoop(imageBytes);
            if (!loop || !WaitForFinished(sim, ++transfers) || !sim.Transfers().back().complete) {
                Fail("the plain loop did not complete", sim.Log());
            }
            loopRates.push_back(payloadBytes / loop->count());
        }
        unsetenv("VANTREL_SIM_SOCKET");
    }
    // Each round pairs one of each back to back, so that load from other
    // processes on the machine falls on both alike.
    std::vector<double> ratios;
    for (int round = 0; round < kRounds; ++round) {
        ratios.push_back(cliRates[round] / loopRates[round]);
    }
    std::printf("transfer, unthrottled simulator, %llu MiB payload, median of %d rounds:\n",
                static_cast<unsigned long long>(kThroughputPayload >> 20), kRounds);
    std::printf("  tarnwick-cli flash     %8.1f MB/s\n", Median(cliRates) / 1e6);
    std::printf("  plain 2048-byte loop   %8.1f MB/s\n", Median(loopRates) / 1e6);
    std::printf("  ratio                  %8.3f   (target >= 0.95; rounds from %.3f to %.3f)\n", Median(ratios),
                *std::min_element(ratios.begin(), ratios.end()), *std::max_element(ratios.begin(), ratios.end()));
    std::printf("  load + hash before the first write, not counted above: %.3f s\n", Median(setupSeconds));

    // 2. Throttled to USB high speed.
    std::vector<double> throttledRates, throttledLoopRates;
    {
        test::SimProcess sim({.rate = kHighSpeedRate, .store = false});
        if (!sim.ready()) {
            Fail("the throttled simulator did not start", sim.Log());
        }
        setenv("VANTREL_SIM_SOCKET", sim.socketPath().c_str(), 1);
        unsigned transfers = 0;
        for (int round = 0; round < kRounds; ++round) {
            throttledRates.push_back(payloadBytes / FlashOnce(sim, image, transfers).cliSeconds);
            const std::optional<Seconds> loop = PlainLoop(imageBytes);
            if (!loop || !WaitForFinished(sim, ++transfers) || !sim.Transfers().back().complete) {
                Fail("the plain loop did not complete", sim.Log());
            }
            throttledLoopRates.push_back(payloadBytes / loop->count());
        }
        unsetenv("VANTREL_SIM_SOCKET");
    }
    const double throttledRate = Median(throttledRates);
    std::printf("transfer, simulator throttled to %.0f MB/s, median of %d rounds:\n", kHighSpeedRate / 1e6, kRounds);
    std::printf("  tarnwick-cli flash     %8.2f MB/s\n", throttledRate / 1e6);
    std::printf("  plain 2048-byte loop   %8.2f MB/s   (for comparison)\n", Median(throttledLoopRates) / 1e6);
    std::printf("  share of the rate      %8.3f   (target >= 0.98)\n", throttledRate / kHighSpeedRate);

    // 3. Peak memory of one flash of a 256 MiB image.
    {
        test::SimProcess sim({.store = false});
        if (!sim.ready()) {
            Fail("the simulator did not start", sim.Log());
        }
        const CliRun run = RunCli(large, sim.socketPath());
        if (run.exitCode != 0) {
            Fail("tarnwick-cli flash of the large image failed", run.output);
        }
        const double imageSize = static_cast<double>(kMemoryPayload + 1024);
        const double peak = static_cast<double>(run.peakResidentBytes);
        std::printf("memory, flash of a %llu MiB image:\n", static_cast<unsigned long long>(kMemoryPayload >> 20));
        std::printf("  peak resident size     %8.1f MiB\n", peak / (1 << 20));
        std::printf("  ratio to image size    %8.3f   (target <= 1.1 + small constant)\n", peak / imageSize);
        std::printf("  beyond the image       %8.1f MiB\n", (peak - imageSize) / (1 << 20));
    }
    return 0;
}
