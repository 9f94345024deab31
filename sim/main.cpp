// vantrel-sim: the far end of the USB cable, as a separate process.
#include <CLI/CLI.hpp>

#include <charconv>
#include <cstdio>
#include <map>

#include "sim/control_client.h"
#include "sim/image_maker.h"
#include "sim/server.h"
#include "sim/sim_paths.h"

namespace {

using namespace tarnwick::sim;

constexpr int kControlTimeoutMs = 2000;

const char* const kHelpFooter = R"(
The socket is --socket, else $VANTREL_SIM_SOCKET, else $XDG_RUNTIME_DIR/vantrel-sim.sock,
else /tmp/vantrel-sim-<uid>/vantrel-sim.sock. Its folder must belong to you with mode 0700.

With --tcp PORT it listens on 127.0.0.1:PORT as well (0 picks a free port; --tcp-port-file F
writes the port bound to F), for the Windows stand-in library under Wine.

A running simulator is attached and detached with `vantrel-sim attach` and `vantrel-sim detach`
(or the signals SIGUSR1 and SIGUSR2); SIGINT or SIGTERM stop it. Each transfer prints one line
on standard output; --report FILE keeps a JSON record of every transfer of the run.)";

int Control(const std::string& socket, const std::string& request, bool printAnswer) {
    const std::optional<std::string> answer = AskSimulator(socket, request, kControlTimeoutMs);
    if (!answer) {
        std::fprintf(stderr, "vantrel-sim: no simulator answers on %s\n", socket.c_str());
        return 1;
    }
    if (printAnswer) {
        std::printf("%s\n", answer->c_str());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"vantrel-sim: a simulated GPS device at the end of the USB cable."};
    app.footer(kHelpFooter);
    app.require_subcommand(1);
    int exitCode = 0;

    ServeOptions serve;
    std::string socket;
    CLI::App* serveCommand = app.add_subcommand("serve", "Play the device until stopped.");
    serveCommand->add_option("--socket", socket, "Unix socket to listen on");
    serveCommand->add_option("--store", serve.storeDir, "Folder to keep each payload in (transfer-N.bin)");
    serveCommand->add_flag("--detached", serve.detached, "Start with no device attached");
    serveCommand->add_option("--rate", serve.rate, "Take at most this many bytes per second (0: no limit)");
    serveCommand->add_option("--stall-after", serve.stallAfter,
                             "Stop reading after this many payload bytes, keeping the pipe open");
    serveCommand->add_option("--drop-after", serve.dropAfter, "Close the pipe after this many payload bytes");
    serveCommand->add_option("--report", serve.reportPath, "Write a JSON report of every transfer here");
    serveCommand->add_option("--tcp", serve.tcpPort, "Listen on 127.0.0.1 at this port too (0: any free port)");
    serveCommand->add_option("--tcp-port-file", serve.tcpPortFile, "Write the TCP port bound to this file")
        ->needs("--tcp");
    serveCommand->callback([&] {
        serve.socketPath = socket.empty() ? DefaultSocketPath() : socket;
        exitCode = Serve(serve);
    });

    for (const auto& [name, request] : std::map<std::string, std::string>{
             {"attach", "ATTACH\n"}, {"detach", "DETACH\n"}, {"status", "STATUS\n"}}) {
        CLI::App* command = app.add_subcommand(name, name == "status"
                                                         ? "Print: attached|detached, finished transfers, running"
                                                         : "Plug the simulated device in, or pull it out");
        command->add_option("--socket", socket, "Unix socket of the running simulator");
        command->callback([&, request = request, name = name] {
            exitCode = Control(socket.empty() ? DefaultSocketPath() : socket, request, name == "status");
        });
    }

    ImageSpec spec;
    std::string output;
    std::string port = "usb";
    std::string flash = "eflash";
    std::string date;
    CLI::App* make = app.add_subcommand("make-image", "Write a .rad image (sound or broken) for demos and tests.");
    make->add_option("OUT", output, "The image file to write")->required();
    make->add_option("--port", port, "usb or uart")->check(CLI::IsMember({"usb", "uart"}));
    make->add_option("--flash", flash, "eflash, serial, nand, or a number 0-255");
    make->add_option("--date", date, "D/M/YY in the first payload bytes (marks a serial image dated)");
    make->add_option("--start", spec.startAddress, "Start address field");
    make->add_option("--payload", spec.payloadBytes, "Payload bytes after the 1024-byte header area");
    make->add_option("--seed", spec.seed, "Seed of the payload bytes");
    make->add_flag("--no-signature", spec.noSignature, "Write '#' where the '$' signature belongs");
    make->add_flag("--short", spec.shortFile, "Cut the file to 1027 bytes");
    make->callback([&] {
        spec.port = port == "uart" ? 0 : 1;
        const std::map<std::string, int> flashNames{{"eflash", 1}, {"serial", 2}, {"nand", 3}};
        if (const auto named = flashNames.find(flash); named != flashNames.end()) {
            spec.flashType = static_cast<std::uint8_t>(named->second);
        } else {
            int number = -1;
            const auto [end, error] = std::from_chars(flash.data(), flash.data() + flash.size(), number);
            if (error != std::errc() || end != flash.data() + flash.size() || number < 0 || number > 255) {
                throw CLI::ValidationError("--flash", "must be eflash, serial, nand or 0-255");
            }
            spec.flashType = static_cast<std::uint8_t>(number);
        }
        if (!date.empty()) {
            spec.date = ParseImageDate(date);
            if (!spec.date) {
                throw CLI::ValidationError("--date", "must be D/M/YY, each from -128 to 127");
            }
        }
        const MadeImage made = MakeImage(output, spec);
        if (!made.ok) {
            std::fprintf(stderr, "vantrel-sim: %s\n", made.error.c_str());
            exitCode = 1;
            return;
        }
        std::printf("%s: %llu bytes, payload %llu bytes, payload sha256 %s\n", output.c_str(),
                    static_cast<unsigned long long>(made.fileBytes),
                    static_cast<unsigned long long>(made.payloadBytes), made.payloadSha256.c_str());
    });

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error);
    }
    return exitCode;
}
