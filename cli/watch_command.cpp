// `tarnwick-cli watch [--once]`: whether a device is attached, asked on the
// same schedule and with the same decisions as the window's status line.

#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "device/device_library.h"
#include "device/library_diagnosis.h"
#include "device/presence_monitor.h"
#include "platform/stop_requests.h"
#include "platform/system.h"

namespace tarnwick::cli {
namespace {

enum class Seen { Attached, Detached, LibraryMissing, EntryMissing };

Seen SeenBy(const PresenceMonitor::Tick& tick) {
    switch (tick.probe.status) {
        case LibraryStatus::NotLoadable:
            return Seen::LibraryMissing;
        case LibraryStatus::EntryMissing:
            return Seen::EntryMissing;
        case LibraryStatus::Called:
            break;
    }
    return tick.decision.devicePresent ? Seen::Attached : Seen::Detached;
}

std::string Describe(Seen seen) {
    switch (seen) {
        case Seen::Attached:
            return "device attached";
        case Seen::Detached:
            return "no device attached";
        case Seen::LibraryMissing:
        case Seen::EntryMissing:
            break;
    }
    // The same words as every other command that loads the library.
    os::System& system = os::RealSystem();
    return CauseText(DiagnoseLibrary(system.libraries, system.files, kDeviceLibraryName), kDeviceLibraryName);
}

// Local wall-clock time with milliseconds, as logs usually show it.
std::string Timestamp() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    char text[40] = "";
    if (const std::tm* local = std::localtime(&seconds)) {
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local);
    }
    char withMillis[48];
    std::snprintf(withMillis, sizeof withMillis, "%s.%03d", text, static_cast<int>(millis));
    return withMillis;
}

int WatchOnce(PresenceMonitor& monitor) {
    const PresenceMonitor::Tick tick = monitor.OnTimer(kDeviceTimerId);
    const Seen seen = SeenBy(tick);
    if (seen == Seen::Attached) {
        std::printf("%s\n", Describe(seen).c_str());
        return kExitOk;
    }
    std::fprintf(stderr, "%s\n", Describe(seen).c_str());
    return kExitNoDevice;
}

// Probes until stopped, with one line for each change of what is seen.
int WatchUntilStopped(PresenceMonitor& monitor) {
    os::StopRequests stops;
    bool printedAny = false;
    Seen last = Seen::Detached;
    while (stops.Count() == 0) {
        const Seen seen = SeenBy(monitor.OnTimer(kDeviceTimerId));
        if (!printedAny || seen != last) {
            std::printf("%s %s\n", Timestamp().c_str(), Describe(seen).c_str());
            std::fflush(stdout);
            printedAny = true;
            last = seen;
        }
        stops.WaitBeyond(0, monitor.period());
    }
    return kExitOk;
}

}  // namespace

void AddWatchCommand(CLI::App& app, int& exitCode) {
    auto once = std::make_shared<bool>(false);
    CLI::App* watch = app.add_subcommand(
        "watch", "Report whether a device is attached: one timestamped line at each change, until Ctrl-C.");
    watch->add_flag("--once", *once,
                    "Ask once: exit 0 when a device is attached, 69 when none is or the library is unusable");
    watch->callback([once, &exitCode] {
        os::System& system = os::RealSystem();
        DeviceLibrary library(system.libraries);
        PresenceMonitor monitor(library, system.handles);
        exitCode = *once ? WatchOnce(monitor) : WatchUntilStopped(monitor);
    });
}

}  // namespace tarnwick::cli
