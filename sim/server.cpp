#include "sim/server.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <list>
#include <memory>
#include <mutex>
#include <poll.h>
#include <system_error>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/posix/descriptor.h"
#include "sim/incoming_transfer.h"
#include "sim/request_line.h"
#include "sim/sim_paths.h"
#include "sim/write_all.h"
#include "sim/sim_protocol.h"
#include "sim/tcp_listener.h"
#include "sim/transfer_record.h"

namespace tarnwick::sim {
namespace {

using SteadyClock = std::chrono::steady_clock;

// How long a connection may take to send its request line.
constexpr int kRequestTimeoutMs = 2000;
// Threads waiting on a socket look up this often to see whether to stop.
constexpr int kStopCheckMs = 100;
// Connections beyond this many at once are closed at once.
constexpr std::size_t kMaxConnections = 64;

using os::posix::Descriptor;

bool SendAll(int fd, const char* text) {
    std::size_t left = std::strlen(text);
    while (left > 0) {
        const ssize_t sent = send(fd, text, left, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            return false;
        }
        text += sent;
        left -= static_cast<std::size_t>(sent);
    }
    return true;
}

class Simulator {
public:
    explicit Simulator(const ServeOptions& options)
        : options_(options), attached_(!options.detached) {}

    int Run();

private:
    struct Connection {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    bool Listen();
    bool ListenTcp();
    void AcceptOne(int listener);
    void ReapFinished(bool all);
    void OnSignal(int signal);
    // The first bytes of a connection, as far as they came.
    struct RequestBytes {
        std::uint8_t data[kMaxRequestLine];
        std::size_t count = 0;
    };

    void Answer(int fd, const Request& request);
    void HandleConnection(int fd, RequestBytes bytes);
    void Finish(TransferRecord record);
    void WriteReport();  // with recordsMutex_ held
    void SetAttached(bool attached);

    const ServeOptions& options_;
    std::atomic<bool> attached_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> pipeBusy_{false};
    std::atomic<unsigned> finished_{0};
    std::atomic<unsigned> nextIndex_{1};
    Descriptor listener_;
    Descriptor tcpListener_;
    Descriptor signals_;
    std::list<Connection> connections_;
    std::mutex recordsMutex_;
    std::vector<TransferRecord> records_;
};

bool Simulator::Listen() {
    const std::string& path = options_.socketPath;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        std::fprintf(stderr, "vantrel-sim: socket path is empty or too long: %s\n", path.c_str());
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

    struct stat existing {};
    if (lstat(path.c_str(), &existing) == 0) {
        if (!S_ISSOCK(existing.st_mode)) {
            std::fprintf(stderr, "vantrel-sim: %s exists and is not a socket\n", path.c_str());
            return false;
        }
        Descriptor probe(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (connect(probe.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            std::fprintf(stderr, "vantrel-sim: another simulator already listens on %s\n", path.c_str());
            return false;
        }
        // Nobody answers: a socket file left behind by a simulator that died.
        unlink(path.c_str());
    }

    listener_ = Descriptor(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    const mode_t previousMask = umask(077);
    const bool bound = bind(listener_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    umask(previousMask);
    if (!bound || listen(listener_.get(), 64) != 0) {
        std::fprintf(stderr, "vantrel-sim: cannot listen on %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

bool Simulator::ListenTcp() {
    TcpListener tcp = ListenOnLoopback(*options_.tcpPort);
    if (!tcp.socket.valid()) {
        std::fprintf(stderr, "vantrel-sim: cannot listen on 127.0.0.1:%u: %s\n",
                     static_cast<unsigned>(*options_.tcpPort), tcp.error.c_str());
        return false;
    }
    if (!options_.tcpPortFile.empty() && !PublishPort(options_.tcpPortFile, tcp.port)) {
        std::fprintf(stderr, "vantrel-sim: cannot write the port to %s\n", options_.tcpPortFile.c_str());
        return false;
    }
    tcpListener_ = std::move(tcp.socket);
    std::fprintf(stderr, "vantrel-sim: listening on 127.0.0.1:%u\n", static_cast<unsigned>(tcp.port));
    return true;
}

int Simulator::Run() {
    const std::string folderProblem = PreparePrivateFolder(options_.socketPath);
    if (!folderProblem.empty()) {
        std::fprintf(stderr, "vantrel-sim: refusing to listen: %s\n", folderProblem.c_str());
        return 1;
    }
    if (!options_.storeDir.empty() && mkdir(options_.storeDir.c_str(), 0700) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "vantrel-sim: cannot make store folder %s: %s\n", options_.storeDir.c_str(),
                     std::strerror(errno));
        return 1;
    }

    // Signals arrive as readable events in the main loop; every thread
    // started later inherits the blocked mask, so none is interrupted.
    sigset_t handled;
    sigemptyset(&handled);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2}) {
        sigaddset(&handled, signal);
    }
    pthread_sigmask(SIG_BLOCK, &handled, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    signals_ = Descriptor(signalfd(-1, &handled, SFD_CLOEXEC | SFD_NONBLOCK));

    if (!Listen() || (options_.tcpPort && !ListenTcp())) {
        return 1;
    }
    {
        // An empty report at once, so that readers never find none.
        std::lock_guard lock(recordsMutex_);
        WriteReport();
    }
    std::fprintf(stderr, "vantrel-sim: listening on %s (%s)\n", options_.socketPath.c_str(),
                 attached_ ? "attached" : "detached");

    while (!stopping_) {
        // Without TCP its descriptor is -1, which poll passes over.
        pollfd events[3] = {
            {signals_.get(), POLLIN, 0}, {listener_.get(), POLLIN, 0}, {tcpListener_.get(), POLLIN, 0}};
        if (poll(events, 3, 1000) < 0 && errno != EINTR) {
            break;
        }
        if (events[0].revents & POLLIN) {
            signalfd_siginfo info{};
            while (read(signals_.get(), &info, sizeof info) == sizeof info) {
                OnSignal(static_cast<int>(info.ssi_signo));
            }
        }
        for (const pollfd& listener : {events[1], events[2]}) {
            if (listener.revents & POLLIN) {
                AcceptOne(listener.fd);
            }
        }
        ReapFinished(false);
    }

    stopping_ = true;
    listener_.Reset();
    tcpListener_.Reset();
    unlink(options_.socketPath.c_str());
    if (!options_.tcpPortFile.empty()) {
        unlink(options_.tcpPortFile.c_str());
    }
    ReapFinished(true);
    std::fprintf(stderr, "vantrel-sim: stopped after %u transfer(s)\n", finished_.load());
    return 0;
}

void Simulator::OnSignal(int signal) {
    if (signal == SIGUSR1) {
        SetAttached(true);
    } else if (signal == SIGUSR2) {
        SetAttached(false);
    } else {
        stopping_ = true;
    }
}

void Simulator::SetAttached(bool attached) {
    if (attached_.exchange(attached) != attached) {
        std::fprintf(stderr, "vantrel-sim: device %s\n", attached ? "attached" : "detached");
    }
}

void Simulator::AcceptOne(int listener) {
    while (true) {
        Descriptor client(accept4(listener, nullptr, nullptr, SOCK_CLOEXEC));
        if (client.get() < 0) {
            return;
        }
        // A probe has usually sent its line by now: answer it here, without
        // the cost of a thread, so probes stay fast however busy we are.
        RequestBytes bytes;
        const ssize_t got = recv(client.get(), bytes.data, sizeof bytes.data, MSG_DONTWAIT);
        if (got == 0) {
            continue;
        }
        bytes.count = got > 0 ? static_cast<std::size_t>(got) : 0;
        const Request request = ParseRequest(std::span<const std::uint8_t>(bytes.data, bytes.count));
        if (request.kind == RequestKind::Invalid) {
            continue;
        }
        if (request.kind != RequestKind::Incomplete && request.kind != RequestKind::Pipe) {
            Answer(client.get(), request);
            continue;
        }
        if (connections_.size() >= kMaxConnections) {
            continue;  // closed at once: a flood must not starve the device
        }
        auto done = std::make_shared<std::atomic<bool>>(false);
        try {
            std::thread thread([this, fd = client.get(), bytes, done] {
                HandleConnection(fd, bytes);
                close(fd);
                *done = true;
            });
            client.Release();  // the thread owns it now
            connections_.push_back({std::move(thread), done});
        } catch (const std::system_error&) {
            // No thread to be had: the connection is closed, the device lives on.
        }
    }
}

void Simulator::ReapFinished(bool all) {
    for (auto it = connections_.begin(); it != connections_.end();) {
        if (all || *it->done) {
            it->thread.join();
            it = connections_.erase(it);
        } else {
            ++it;
        }
    }
}

void Simulator::Answer(int fd, const Request& request) {
    switch (request.kind) {
        case RequestKind::Probe:
            SendAll(fd, attached_ ? kYesAnswer : kNoAnswer);
            return;
        case RequestKind::Attach:
        case RequestKind::Detach:
            SetAttached(request.kind == RequestKind::Attach);
            SendAll(fd, kOkAnswer);
            return;
        case RequestKind::Status: {
            const std::string status = std::string(attached_ ? "attached " : "detached ") +
                                       std::to_string(finished_.load()) + " " + (pipeBusy_ ? "1" : "0") + "\n";
            SendAll(fd, status.c_str());
            return;
        }
        case RequestKind::Pipe:
        case RequestKind::Incomplete:
        case RequestKind::Invalid:
            return;
    }
}

void Simulator::HandleConnection(int fd, RequestBytes bytes) {
    Request request = ParseRequest(std::span<const std::uint8_t>(bytes.data, bytes.count));
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(kRequestTimeoutMs);
    while (request.kind == RequestKind::Incomplete) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
        if (stopping_ || left.count() <= 0) {
            return;  // silent callers are dropped, as is everyone at shutdown
        }
        pollfd wait{fd, POLLIN, 0};
        const int ready = poll(&wait, 1, static_cast<int>(std::min<long long>(left.count(), kStopCheckMs)));
        if (ready <= 0 || !(wait.revents & (POLLIN | POLLHUP | POLLERR))) {
            continue;
        }
        const ssize_t got = recv(fd, bytes.data + bytes.count, sizeof bytes.data - bytes.count, MSG_DONTWAIT);
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
            continue;
        }
        if (got <= 0) {
            return;  // closed half-way through the request, or failed
        }
        bytes.count += static_cast<std::size_t>(got);
        request = ParseRequest(std::span<const std::uint8_t>(bytes.data, bytes.count));
    }
    if (request.kind != RequestKind::Pipe) {
        Answer(fd, request);
        return;
    }
    if (!attached_ || request.pipeName != kKnownPipe || pipeBusy_.exchange(true)) {
        SendAll(fd, kNoAnswer);
        return;
    }
    if (SendAll(fd, kYesAnswer)) {
        IncomingTransfer transfer(options_, stopping_, fd, nextIndex_++, request.pipeName);
        Finish(transfer.Receive(
            std::span<const std::uint8_t>(bytes.data + request.length, bytes.count - request.length)));
    }
    pipeBusy_ = false;
}

void Simulator::Finish(TransferRecord record) {
    std::lock_guard lock(recordsMutex_);
    std::printf("%s\n", SummaryLine(record).c_str());
    std::fflush(stdout);
    records_.push_back(std::move(record));
    WriteReport();
    ++finished_;
}

void Simulator::WriteReport() {
    if (options_.reportPath.empty()) {
        return;
    }
    // Written aside and renamed, so that a reader never sees half a report.
    const std::string json = ReportJson(records_);
    const std::string partial = options_.reportPath + ".partial";
    Descriptor file(open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    const bool written =
        file.get() >= 0 && WriteAll(file.get(), reinterpret_cast<const std::uint8_t*>(json.data()), json.size());
    file.Reset();
    if (!written || rename(partial.c_str(), options_.reportPath.c_str()) != 0) {
        std::fprintf(stderr, "vantrel-sim: cannot write report %s\n", options_.reportPath.c_str());
    }
}

}  // namespace

int Serve(const ServeOptions& options) {
    Simulator simulator(options);
    return simulator.Run();
}

}  // namespace tarnwick::sim
