// `tarnwick-cli doctor [--open-pipe] [--json]`: why a device is found or
// not, check by check, each with a verdict and one sentence of advice. It
// only reads and probes, unless --open-pipe asks it to open the device
// pipe (and close it unwritten).

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "device/device_library.h"
#include "device/library_diagnosis.h"
#include "device/presence_monitor.h"
#include "platform/system.h"
#include "support/json_text.h"
#include "support/sha256.h"
#include "text/text_keys.h"
#include "text/text_lookup.h"
#include "text/utf8_text.h"

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

// A library file is a few hundred KiB; anything larger is not hashed.
constexpr std::uint64_t kLibraryReadLimit = std::uint64_t{256} << 20;
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
    const std::optional<std::string> bytes = system.files.ReadText(path, std::size_t{1} << 20);
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
    std::string placesJson = "[";
    for (const LibraryPlace& place : diagnosis.places) {
        places += (places.empty() ? "" : ", ") + place.path + (place.present ? " (there)" : "");
        placesJson += std::string(placesJson.size() > 1 ? ", " : "") +
                      JsonObject().Add("path", place.path).AddBool("present", place.present).Text();
    }
    check.fields.AddRaw("places", placesJson + "]");
    check.detail = "looked for " + std::string(kDeviceLibraryName) + " in " + places;
    if (diagnosis.found) {
        check.fields.Add("found", *diagnosis.found);
        if (const os::LoadedFile file = system.files.LoadWhole(*diagnosis.found, kLibraryReadLimit);
            file.status == os::FileStatus::Ok) {
            Sha256 hash;
            hash.Update({file.data.get(), static_cast<std::size_t>(file.size)});
            const std::string sha = hash.FinishHex();
            check.fields.AddNumber("size", static_cast<std::int64_t>(file.size)).Add("sha256", sha);
            check.detail += "; found " + *diagnosis.found + ", " + std::to_string(file.size) + " bytes, SHA-256 " + sha;
        }
    } else {
        check.fields.AddNull("found");
    }
    if (diagnosis.widthBits) {
        check.fields.AddNumber("width", *diagnosis.widthBits);
        check.detail += ", " + std::to_string(*diagnosis.widthBits) + "-bit (this program is " +
                        std::to_string(kProgramBits) + "-bit)";
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
    std::string probesJson = "[";
    for (int probe = 0; probe < kProbes; ++probe) {
        if (probe > 0) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
        }
        const auto start = std::chrono::steady_clock::now();
        const DeviceCall call = DeviceLibrary(system.libraries).OpenDev();
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        const PresenceDecision decision = DecidePresence(kDeviceTimerId, call, false);
        if (decision.closeHandle) {
            system.handles.Close(call.handle);
        }
        const char* result = call.status != LibraryStatus::Called ? "library unusable"
                             : decision.devicePresent             ? "device"
                                                                  : "no device";
        found += decision.devicePresent ? 1 : 0;
        check.detail += std::string(probe > 0 ? ", " : "") + result + " (" + std::to_string(took.count()) + " ms)";
        probesJson += std::string(probe > 0 ? ", " : "") +
                      JsonObject().Add("result", result).AddNumber("milliseconds", took.count()).Text();
    }
    check.fields.AddRaw("probes", probesJson + "]").AddNumber("found", found);
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
    const DeviceCall call = DeviceLibrary(system.libraries).OpenFile("PIPE00");
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
    const int status = failed ? 1 : devicesFound > 0 ? kExitOk : kExitNoDevice;
    if (json) {
        std::string list = "[";
        for (const Check& check : checks) {
            std::string fields = check.fields.Text();
            fields = fields.substr(1, fields.size() - 2);
            std::string item = JsonObject()
                                   .Add("check", check.name)
                                   .Add("verdict", VerdictName(check.verdict))
                                   .Add("detail", check.detail)
                                   .Add("advice", check.advice)
                                   .Text();
            if (!fields.empty()) {
                item.pop_back();
                item += ", " + fields + "}";
            }
            list += std::string(list.size() > 1 ? ", " : "") + item;
        }
        std::printf("%s\n", JsonObject().AddNumber("v", 1).AddRaw("checks", list + "]").AddNumber("status", status).Text().c_str());
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
    doctor->footer("Exit codes: 0 a device was found, 69 none was, 1 a check failed (the device library).");
    doctor->callback([options, &exitCode] { exitCode = RunDoctor(options->openPipe, options->json); });
}

}  // namespace tarnwick::cli
