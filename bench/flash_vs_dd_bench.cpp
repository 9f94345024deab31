// The whole `tarnwick-cli flash` process against `dd bs=2048`, each writing
// a 256 MiB image into the same sink, through a double of the device
// library whose "open_file" opens that sink (the plain_file double):
//  1. a FIFO, drained by a reader in this process (target >= 0.80);
//  2. a plain file on tmpfs (target >= 0.80);
//  3. the send phase alone (tarnwick-cli's own "in N s", from the start of
//     the transfer to the closed pipe) against a plain loop of 2048-byte
//     write() calls from memory into the same sink (target >= 1.0);
//  4. tarnwick-cli's peak resident size against the image (target <= 1.1).
// Rounds are paired and their order alternates, so that load from elsewhere
// falls on both alike; the figure is the median of the rounds' ratios.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <regex>
#include <string>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "bench/median.h"
#include "tests/support/bin_dir.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace tarnwick;
using SteadyClock = std::chrono::steady_clock;

constexpr std::uint64_t kPayload = 256u << 20;
constexpr std::size_t kPiece = 2048;
constexpr int kRounds = 5;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "flash vs dd bench: %s\n", what.c_str());
    std::exit(1);
}

std::vector<std::uint8_t> ImageBytes() {
    std::vector<std::uint8_t> image(1024 + kPayload);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(i * 131 + (i >> 10));
    }
    std::fill(image.begin(), image.begin() + 1024, 0x11);
    image[0] = '$';
    image[1] = 1;
    image[2] = 1;
    return image;
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() ||
        std::fclose(file) != 0) {
        Fail("cannot write " + path);
    }
}

struct Run {
    double seconds = 0;
    std::uint64_t peakResidentBytes = 0;
    std::string output;
};

// Runs a program to its end with its output captured, timing the whole
// process from fork to reaping.
Run RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& environment) {
    int output[2];
    if (pipe2(output, O_CLOEXEC) != 0) {
        Fail("no pipe");
    }
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    const auto start = SteadyClock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(output[1], STDOUT_FILENO);
        dup2(output[1], STDERR_FILENO);
        for (const std::string& entry : environment) {
            putenv(const_cast<char*>(entry.c_str()));
        }
        execvp(args[0], args.data());
        _exit(127);
    }
    close(output[1]);
    Run run;
    char buffer[4096];
    for (ssize_t got; (got = read(output[0], buffer, sizeof buffer)) > 0;) {
        run.output.append(buffer, static_cast<std::size_t>(got));
    }
    close(output[0]);
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        Fail(argv[0] + " failed:\n" + run.output);
    }
    run.seconds = std::chrono::duration<double>(SteadyClock::now() - start).count();
    run.peakResidentBytes = static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;
    return run;
}

// Drains a FIFO for one run, as a device would: in a process of its own,
// counting what came.
class FifoReader {
public:
    explicit FifoReader(const std::string& path) {
        int count[2];
        if (pipe2(count, O_CLOEXEC) != 0) {
            Fail("no pipe");
        }
        pid_ = fork();
        if (pid_ == 0) {
            const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
            std::vector<char> buffer(1 << 16);
            std::uint64_t bytes = 0;
            for (ssize_t got; fd >= 0 && (got = read(fd, buffer.data(), buffer.size())) > 0;) {
                bytes += static_cast<std::uint64_t>(got);
            }
            _exit(write(count[1], &bytes, sizeof bytes) == sizeof bytes ? 0 : 1);
        }
        close(count[1]);
        count_ = count[0];
    }
    std::uint64_t Finish() {
        std::uint64_t bytes = 0;
        if (read(count_, &bytes, sizeof bytes) != sizeof bytes) {
            bytes = 0;
        }
        close(count_);
        waitpid(pid_, nullptr, 0);
        return bytes;
    }

private:
    pid_t pid_ = -1;
    int count_ = -1;
};

// The image loaded into memory of this process's own, in large pages as
// the tool loads it, so that the loop and the tool read their bytes from
// the same kind of memory.
const std::uint8_t* LoadInLargePages(const std::string& image, std::size_t size) {
    constexpr std::size_t kLargePage = std::size_t{2} << 20;
    void* area = mmap(nullptr, size + kLargePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (area == MAP_FAILED) {
        Fail("no memory for the plain loop");
    }
    auto* block = reinterpret_cast<std::uint8_t*>(
        (reinterpret_cast<std::uintptr_t>(area) + kLargePage - 1) / kLargePage * kLargePage);
    madvise(block, size, MADV_HUGEPAGE);
    const int fd = open(image.c_str(), O_RDONLY | O_CLOEXEC);
    std::size_t done = 0;
    for (ssize_t got; done < size && (got = read(fd, block + done, size - done)) > 0;) {
        done += static_cast<std::size_t>(got);
    }
    close(fd);
    if (done != size) {
        Fail("the plain loop could not load the image");
    }
    return block;
}

// The header packet and the payload in 2048-byte writes from memory, the
// way the tool must send them; the time of the writes alone.
double WriteLoopSeconds(const std::string& sink, const std::uint8_t* image, std::size_t size) {
    const int fd = open(sink.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        Fail("cannot open " + sink);
    }
    const auto start = SteadyClock::now();
    auto writeAll = [fd](const std::uint8_t* bytes, std::size_t count) {
        while (count > 0) {
            const ssize_t done = write(fd, bytes, count);
            if (done <= 0) {
                Fail("the plain loop could not write");
            }
            bytes += done;
            count -= static_cast<std::size_t>(done);
        }
    };
    writeAll(image, 20);
    for (std::size_t offset = 1024; offset < size; offset += kPiece) {
        writeAll(image + offset, std::min(kPiece, size - offset));
    }
    close(fd);
    return std::chrono::duration<double>(SteadyClock::now() - start).count();
}

// The plain loop in a process of its own, as the tool and dd are, so that
// a reader in this process is no nearer to it than to them.
double PlainLoopSeconds(const std::string& image, const std::string& sink, std::size_t size) {
    int result[2];
    if (pipe2(result, O_CLOEXEC) != 0) {
        Fail("no pipe");
    }
    const pid_t pid = fork();
    if (pid == 0) {
        const double seconds = WriteLoopSeconds(sink, LoadInLargePages(image, size), size);
        _exit(write(result[1], &seconds, sizeof seconds) == sizeof seconds ? 0 : 1);
    }
    close(result[1]);
    double seconds = 0;
    const bool got = read(result[0], &seconds, sizeof seconds) == sizeof seconds;
    close(result[0]);
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !got || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        Fail("the plain loop failed");
    }
    return seconds;
}

// The transfer time from tarnwick-cli's end line ("... in 0.572 s ...").
double ReportedSeconds(const std::string& output) {
    static const std::regex kComplete(R"(complete: sent \d+ of \d+ payload bytes \([^)]*\) in ([0-9.]+) s)");
    std::smatch match;
    if (!std::regex_search(output, match, kComplete)) {
        Fail("tarnwick-cli did not complete:\n" + output);
    }
    return std::stod(match[1].str());
}

struct Figures {
    std::vector<double> wholeRatios, sendRatios, cliSeconds, ddSeconds, sendSeconds, loopSeconds, peakRatios;
};

Figures Measure(const std::string& image, const std::vector<std::uint8_t>& bytes, const std::string& sink,
                bool fifo) {
    const std::vector<std::string> cli = {test::BinPath("tarnwick-cli"), "flash", image, "--yes", "--quiet"};
    const std::vector<std::string> dd = {"dd", "if=" + image, "of=" + sink, "bs=2048", "status=none"};
    const std::vector<std::string> environment = {"LD_LIBRARY_PATH=" + test::DoubleDir("plain_file"),
                                                  "TARNWICK_DOUBLE_FILE=" + sink};
    auto timed = [&](const std::vector<std::string>& argv, std::uint64_t expected) {
        std::optional<FifoReader> reader;
        if (fifo) {
            reader.emplace(sink);
        }
        Run run = RunProgram(argv, environment);
        if (reader && reader->Finish() != expected) {
            Fail(argv[0] + " did not put every byte into the FIFO");
        }
        return run;
    };
    Figures figures;
    for (int round = 0; round < kRounds; ++round) {
        std::optional<Run> tool, copy;
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn == 0) == (round % 2 == 0)) {
                tool = timed(cli, 20 + kPayload);
            } else {
                copy = timed(dd, bytes.size());
            }
        }
        std::optional<FifoReader> reader;
        if (fifo) {
            reader.emplace(sink);
        }
        const double loop = PlainLoopSeconds(image, sink, bytes.size());
        if (reader) {
            reader->Finish();
        }
        figures.cliSeconds.push_back(tool->seconds);
        figures.ddSeconds.push_back(copy->seconds);
        figures.wholeRatios.push_back(copy->seconds / tool->seconds);
        figures.sendSeconds.push_back(ReportedSeconds(tool->output));
        figures.loopSeconds.push_back(loop);
        figures.sendRatios.push_back(loop / figures.sendSeconds.back());
        figures.peakRatios.push_back(static_cast<double>(tool->peakResidentBytes) / static_cast<double>(bytes.size()));
    }
    return figures;
}

void Print(const char* sink, const Figures& figures) {
    using bench::Median;
    std::printf("into %s, %llu MiB payload, median of %d paired rounds:\n", sink,
                static_cast<unsigned long long>(kPayload >> 20), kRounds);
    std::printf("  tarnwick-cli flash, whole process   %7.3f s\n", Median(figures.cliSeconds));
    std::printf("  dd bs=2048                          %7.3f s\n", Median(figures.ddSeconds));
    std::printf("  ratio (dd time / tool time)         %7.3f   (target >= 0.80)\n", Median(figures.wholeRatios));
    std::printf("  tarnwick-cli's send phase           %7.3f s\n", Median(figures.sendSeconds));
    std::printf("  plain 2048-byte write() loop        %7.3f s\n", Median(figures.loopSeconds));
    std::printf("  ratio (loop time / send time)       %7.3f   (target >= 1.0)\n", Median(figures.sendRatios));
    std::printf("  peak resident size / image          %7.3f   (target <= 1.1)\n", Median(figures.peakRatios));
}

}  // namespace

int main() {
    // Both sinks and the image on tmpfs where there is one, so that the
    // disk plays no part.
    if (access("/dev/shm", W_OK) == 0) {
        setenv("TMPDIR", "/dev/shm", 1);
    }
    test::TempDir dir;
    const std::string image = dir.File("large.rad");
    const std::vector<std::uint8_t> bytes = ImageBytes();
    WriteFile(image, bytes);

    const std::string fifo = dir.File("device.fifo");
    if (mkfifo(fifo.c_str(), 0600) != 0) {
        Fail("cannot make a FIFO");
    }
    Print("a FIFO", Measure(image, bytes, fifo, true));
    Print("a plain file on tmpfs", Measure(image, bytes, dir.File("device.bin"), false));
    return 0;
}
