#include "tests/support/sim_process.h"

#include <csignal>
#include <fstream>
#include <sstream>
#include <thread>

#include "sim/control_client.h"
#include "tests/support/bin_dir.h"
#include "support/json_value.h"

namespace tarnwick::test {
namespace {

constexpr auto kStartLimit = std::chrono::seconds(10);
constexpr int kAskTimeoutMs = 2000;

std::string ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

SimTransfer TransferFrom(const JsonValue& item) {
    SimTransfer t;
    t.index = static_cast<unsigned>(item["index"].AsUnsigned());
    t.pipe = item["pipe"].AsString();
    t.outcome = item["outcome"].AsString();
    t.complete = item["complete"].AsBool();
    t.headerBytes = item["headerBytes"].AsUnsigned();
    const JsonValue& header = item["header"];
    t.headerHex = header["hex"].AsString();
    t.signature = static_cast<unsigned>(header["signature"].AsUnsigned());
    t.port = static_cast<unsigned>(header["port"].AsUnsigned());
    t.flashType = static_cast<unsigned>(header["flashType"].AsUnsigned());
    t.startAddress = header["startAddress"].AsUnsigned();
    t.fileSize = static_cast<std::int64_t>(header["fileSize"].AsNumber());
    t.packetCount = static_cast<std::int64_t>(header["packetCount"].AsNumber());
    t.payloadBytes = item["payloadBytes"].AsUnsigned();
    t.payloadSha256 = item["payloadSha256"].AsString();
    t.seconds = item["seconds"].AsNumber();
    t.storedPath = item["stored"].AsString();
    return t;
}

}  // namespace

SimProcess::SimProcess(SimOptions options) : socketPath_(folder_.File("sim.sock")) {
    if (folder_.path().empty()) {
        return;
    }
    std::vector<std::string> arguments{"serve", "--socket", socketPath_, "--report", reportPath()};
    if (options.store) {
        arguments.insert(arguments.end(), {"--store", storeDir()});
    }
    if (options.detached) {
        arguments.push_back("--detached");
    }
    if (options.rate != 0) {
        arguments.insert(arguments.end(), {"--rate", std::to_string(options.rate)});
    }
    if (options.stallAfter) {
        arguments.insert(arguments.end(), {"--stall-after", std::to_string(*options.stallAfter)});
    }
    if (options.dropAfter) {
        arguments.insert(arguments.end(), {"--drop-after", std::to_string(*options.dropAfter)});
    }
    const std::string portFile = folder_.File("tcp-port");
    if (options.tcp) {
        arguments.insert(arguments.end(), {"--tcp", "0", "--tcp-port-file", portFile});
    }
    process_.emplace(BinPath("vantrel-sim"), arguments, std::vector<std::string>{}, folder_.File("sim.log"));
    if (!process_->started()) {
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (Status()) {
            // The port is written down before the simulator answers anyone.
            if (options.tcp) {
                std::istringstream port(ReadWholeFile(portFile));
                unsigned number = 0;
                if (!(port >> number)) {
                    return;
                }
                tcpAddress_ = "127.0.0.1:" + std::to_string(number);
            }
            ready_ = true;
            return;
        }
        if (process_->Wait(std::chrono::milliseconds(0))) {
            return;  // it gave up: the log says why
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

SimProcess::~SimProcess() { Stop(); }

std::string SimProcess::Environment() const { return "VANTREL_SIM_SOCKET=" + socketPath_; }

std::string SimProcess::TcpEnvironment() const {
    return tcpAddress_.empty() ? std::string() : "VANTREL_SIM_TCP=" + tcpAddress_;
}

bool SimProcess::RunControl(const char* command) {
    const std::optional<ProgramResult> result =
        RunProgram(BinPath("vantrel-sim"), {command, "--socket", socketPath_}, {}, std::chrono::seconds(10));
    return result && result->exitCode == 0;
}

bool SimProcess::Attach() { return RunControl("attach"); }
bool SimProcess::Detach() { return RunControl("detach"); }

std::optional<SimStatus> SimProcess::Status() const {
    const std::optional<std::string> answer = sim::AskSimulator(socketPath_, "STATUS\n", kAskTimeoutMs);
    if (!answer) {
        return std::nullopt;
    }
    std::istringstream words(*answer);
    std::string state;
    SimStatus status;
    int running = 0;
    if (!(words >> state >> status.finished >> running)) {
        return std::nullopt;
    }
    status.attached = state == "attached";
    status.transferRunning = running != 0;
    return status;
}

std::vector<SimTransfer> SimProcess::Transfers() const {
    std::vector<SimTransfer> transfers;
    const std::optional<JsonValue> report = JsonValue::Parse(ReadWholeFile(reportPath()));
    if (!report) {
        return transfers;
    }
    for (const JsonValue& item : (*report)["transfers"].items()) {
        transfers.push_back(TransferFrom(item));
    }
    return transfers;
}

std::optional<SimTransfer> SimProcess::WaitForTransfer(unsigned count, std::chrono::milliseconds timeout) const {
    if (count == 0) {
        return std::nullopt;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        const std::optional<SimStatus> status = Status();
        if (status && status->finished >= count) {
            const std::vector<SimTransfer> transfers = Transfers();
            if (transfers.size() >= count) {
                return transfers[count - 1];
            }
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::string SimProcess::Log() const { return ReadWholeFile(folder_.File("sim.log")); }

bool SimProcess::Stop() {
    if (!process_ || !process_->started()) {
        return false;
    }
    process_->Signal(SIGTERM);
    std::optional<int> code = process_->Wait(std::chrono::seconds(10));
    if (!code) {
        process_->Signal(SIGKILL);
        code = process_->Wait(std::chrono::seconds(10));
        return false;
    }
    return *code == 0;
}

void SimProcess::Kill() {
    if (process_ && process_->started()) {
        process_->Signal(SIGKILL);
        process_->Wait(std::chrono::seconds(10));
    }
}

}  // namespace tarnwick::test
