// `tarnwick-cli doctor [--open-pipe] [--json]`: why a device is found or
// not, check by check, each with a verdict and one sentence of advice. It
// only reads and probes, unless --open-pipe asks it to open the device
// pipe (and close it unwritten).

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "device/device_library.h"
#include "device/library_diagnosis.h"
#include "device/presence_monitor.h"
#include "image/upgrade_command.h"
#include "platform/profile_rules.h"
#include "platform/system.h"
#include "support/json_text.h"
#include "text/text_keys.h"
#include "text/text_lookup.h"
#include "support/utf8_text.h"

namespace tarnwick::cli {
namespace {

enum class Verdict { Ok, Warn, Fail };

struct Check {
    explicit Check(std::string checkName) : name(std::move(checkName)) {}
    std::string name;
    Verdict verdict = Verdict::Ok;
    std::string detail;
    std::string advice;
    JsonObject fields;  // what the check found, for --json
};

const char* VerdictName(Verdict verdict) {
    switch (verdict) {
        case Verdict::Ok:
            return "ok";
        case Verdict::Warn:
            return "warn";
        case Verdict::Fail:
            break;
    }
    return "fail";
}

#if defined(_WIN64)
constexpr const char* kBuild = "win64";
#elif defined(_WIN32)
constexpr const char* kBuild = "win32";
#else
constexpr const char* kBuild = "linux";
#endif

constexpr int kProbes = 3;

Check ProgramCheck(os::System& system) {
    Check check("program");
    const std::string wine = system.process.WineVersion();
    check.detail = std::string("tarnwick-cli ") + TARNWICK_VERSION + ", " + kBuild + " build, " +
                   system.process.SystemVersion() + (wine.empty() ? "" : ", under Wine " + wine);
    check.fields.Add("version", TARNWICK_VERSION).Add("build", kBuild).Add("system", system.process.SystemVersion());
    if (wine.empty()) {
        check.fields.AddNull("wine");
    } else {
        check.fields.Add("wine", wine);
    }
    return check;
}

Check LangIniCheck(os::System& system) {
    Check check("lang.ini");
    const TextLookup texts(system.process, system.profiles);
    const std::string path = texts.IniPath();
    const std::optional<std::string> bytes = system.files.ReadText(path, os::kIniSizeLimit);
    check.fields.Add("path", path).AddBool("found", bytes.has_value());
    if (!bytes) {
        check.verdict = Verdict::Warn;
        check.detail = "no lang.ini at " + path;
        check.advice = "Every text would be empty: put a lang.ini beside the program (the English one comes with it).";
        return check;
    }
    std::size_t missing = 0;
    for (const TextKey& key : kTextKeys) {
        missing += system.profiles.Find(path, key.section, key.key) ? 0 : 1;
    }
    const char* encoding = IsValidUtf8(*bytes) ? "UTF-8" : "ANSI";
    check.fields.Add("encoding", encoding).AddNumber("missing", static_cast<std::int64_t>(missing));
    check.detail = path + ", " + encoding + ", " + std::to_string(missing) + " of " + std::to_string(kTextKeys.size()) +
                   " keys missing";
    if (missing > 0) {
        check.verdict = Verdict::Warn;
        check.advice = "The missing texts show empty: tarnwick-cli texts lists them.";
    }
    return check;
}

Check LibraryCheck(os::System& system, LibraryDiagnosis& diagnosis) {
    Check check("device library");
    diagnosis = DiagnoseLibrary(system.libraries, system.files, kDeviceLibraryName);
    std::string places;
    JsonArray placesJson;
    for (const LibraryPlace& place : diagnosis.places) {
        places += (places.empty() ? "" : ", ") + place.path + (place.present ? " (there)" : "");
        placesJson.AddRaw(JsonObject().Add("path", place.path).AddBool("present", place.present).Text());
    }
    check.fields.AddRaw("places", placesJson.Text());
    check.detail = "looked for " + std::string(kDeviceLibraryName) + " in " + places;
    if (diagnosis.found) {
        check.fields.Add("found", *diagnosis.found);
    } else {
        check.fields.AddNull("found");
    }
    if (const std::optional<LibraryFile>& file = diagnosis.file) {
        check.fields.AddNumber("size", static_cast<std::int64_t>(file->size)).Add("sha256", file->sha256);
        check.detail +=
            "; found " + *diagnosis.found + ", " + std::to_string(file->size) + " bytes, SHA-256 " + file->sha256;
    }
    if (const std::optional<int> width = diagnosis.file ? diagnosis.file->widthBits : std::nullopt) {
        check.fields.AddNumber("width", *width);
        check.detail += ", " + std::to_string(*width) + "-bit (this program is " + std::to_string(kProgramBits) + "-bit)";
    } else {
        check.fields.AddNull("width");
    }
    check.fields.AddNumber("program_width", kProgramBits)
        .AddBool("loads", diagnosis.cause == LibraryCause::Usable || diagnosis.cause == LibraryCause::EntryMissing)
        .Add("load_error", diagnosis.loadError)
        .AddBool("open_dev", diagnosis.hasOpenDev)
        .AddBool("open_file", diagnosis.hasOpenFile)
        .AddBool("decorated_entries", diagnosis.decoratedEntries);
    if (diagnosis.cause == LibraryCause::Usable) {
        check.detail += "; it loads, with open_dev and open_file";
        return check;
    }
    check.verdict = Verdict::Fail;
    check.detail += "; " + CauseText(diagnosis, kDeviceLibraryName, true);
    check.advice = diagnosis.decoratedEntries
                       ? "Its entries are named _open_dev@0 and _open_file@4 (stdcall): the maker's library for this "
                         "tool exports them undecorated; ask the maker for that one."
                       : "The window shows \"1031\" for this; only the maker's own library for this build reaches "
                         "the device.";
    return check;
}

// `found` counts the probes that found a device.
Check PresenceCheck(os::System& system, int& found) {
    Check check("presence");
    DeviceLibrary library(system.libraries);
    PresenceMonitor monitor(library, system.handles);
    JsonArray probesJson;
    for (int probe = 0; probe < kProbes; ++probe) {
        if (probe > 0) {
            system.sleeper.Sleep(std::chrono::seconds(1));
        }
        const auto start = system.clock.Now();
        const PresenceMonitor::Tick tick = monitor.OnTimer(kDeviceTimerId);
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(system.clock.Now() - start);
        const bool usable = tick.probe.status == LibraryStatus::Called;
        const char* result = !usable ? "library unusable" : tick.decision.devicePresent ? "device" : "no device";
        found += usable && tick.decision.devicePresent ? 1 : 0;
        check.detail += std::string(probe > 0 ? ", " : "") + result + " (" + std::to_string(took.count()) + " ms)";
        probesJson.AddRaw(JsonObject().Add("result", result).AddNumber("milliseconds", took.count()).Text());
    }
    check.fields.AddRaw("probes", probesJson.Text()).AddNumber("found", found);
    check.detail = "three probes a second apart: " + check.detail;
    if (found == 0) {
        check.verdict = Verdict::Warn;
        check.advice = "No device answered: check the cable and that the device is in its update mode.";
    } else if (found < kProbes) {
        check.verdict = Verdict::Warn;
        check.advice = "The device came and went: check the cable and the port.";
    }
    return check;
}

Check PipeCheck(os::System& system) {
    Check check("pipe");
    const DeviceCall call = DeviceLibrary(system.libraries).OpenFile(kPipeName);
    if (call.status != LibraryStatus::Called || call.handle == os::kInvalidHandle) {
        check.verdict = Verdict::Fail;
        check.detail = "open_file(\"PIPE00\") gave no handle";
        check.advice = "The device was not ready to take an image, or the library could not reach it.";
        check.fields.AddNull("kind").AddNull("mode");
        return check;
    }
    const os::HandleKindText kind = system.handles.Describe(call.handle);
    system.handles.Close(call.handle);
    check.detail = "open_file(\"PIPE00\") gave a " + kind.kind + ", " + kind.mode + "; closed without writing";
    check.fields.Add("kind", kind.kind).Add("mode", kind.mode);
    return check;
}

// Without a device there is nothing to open, and a failure would only say so again.
Check PipeNotTried() {
    Check check("pipe");
    check.verdict = Verdict::Warn;
    check.detail = "not opened: no device attached";
    check.advice = "Attach the device in its update mode, then ask again.";
    check.fields.AddNull("kind").AddNull("mode");
    return check;
}

Check HistoryCheck(os::System& system) {
    Check check("history");
    const std::string path = system.history.Path();
    const bool writable = system.history.Writable(path);
    check.fields.Add("path", path).AddBool("writable", writable);
    check.detail = (path.empty() ? std::string("no place for it") : path) + (writable ? ", can be written" : ", cannot be written");
    if (!writable) {
        check.verdict = Verdict::Warn;
        check.advice = "Transfers still work, but none is recorded: name a writable file with TARNWICK_HISTORY.";
    }
    return check;
}

int RunDoctor(bool openPipe, bool json) {
    os::System& system = os::RealSystem();
    LibraryDiagnosis diagnosis;
    int devicesFound = 0;
    std::vector<Check> checks;
    checks.push_back(ProgramCheck(system));
    checks.push_back(LangIniCheck(system));
    checks.push_back(LibraryCheck(system, diagnosis));
    const bool usable = diagnosis.cause == LibraryCause::Usable;
    if (usable) {
        checks.push_back(PresenceCheck(system, devicesFound));
    }
    if (usable && openPipe) {
        checks.push_back(devicesFound > 0 ? PipeCheck(system) : PipeNotTried());
    }
    checks.push_back(HistoryCheck(system));

    bool failed = false;
    for (const Check& check : checks) {
        failed = failed || check.verdict == Verdict::Fail;
    }
    const int status = failed ? kExitCheckFailed : devicesFound > 0 ? kExitOk : kExitNoDevice;
    if (json) {
        JsonArray list;
        for (const Check& check : checks) {
            list.AddRaw(JsonObject()
                            .Add("check", check.name)
                            .Add("verdict", VerdictName(check.verdict))
                            .Add("detail", check.detail)
                            .Add("advice", check.advice)
                            .AddFields(check.fields)
                            .Text());
        }
        std::printf("%s\n", JsonObject().AddNumber("v", 1).AddRaw("checks", list.Text()).AddNumber("status", status).Text().c_str());
    } else {
        for (const Check& check : checks) {
            std::printf("%-4s  %-14s  %s\n", VerdictName(check.verdict), check.name.c_str(), check.detail.c_str());
            if (!check.advice.empty()) {
                std::printf("      %-14s  %s\n", "", check.advice.c_str());
            }
        }
    }
    return status;
}

}  // namespace

void AddDoctorCommand(CLI::App& app, int& exitCode) {
    struct Options {
        bool openPipe = false;
        bool json = false;
    };
    auto options = std::make_shared<Options>();
    CLI::App* doctor = app.add_subcommand(
        "doctor", "Say, check by check, why a device is found or not: the program, lang.ini, the device library, "
                  "three probes, and the history.");
    doctor->add_flag("--open-pipe", options->openPipe,
                     "also open the device pipe (PIPE00), say what kind of handle it is, and close it unwritten; "
                     "some devices may react to an opened pipe");
    doctor->add_flag("--json", options->json, "one JSON object with every check");
    doctor->footer("Exit codes: 0 a device was found, 69 none was, 1 a check failed (the device library, or the "
                   "pipe of a device that was found).");
    doctor->callback([options, &exitCode] { exitCode = RunDoctor(options->openPipe, options->json); });
}

}  // namespace tarnwick::cli
