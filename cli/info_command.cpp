// tarnwick-cli info IMAGE [--json]: the checks the window makes before it
// looks at the device, with everything the header says.

#include <cinttypes>
#include <cstdio>
#include <iostream>
#include <sstream>

#include "text/text_keys.h"
#include "text/text_lookup.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "support/json_text.h"
#include "image/image_check.h"
#include "support/sha256.h"

namespace tarnwick::cli {
namespace {

struct SentHashes {
    std::string file;     // the whole file, as sha256sum and --sha256 give it
    std::string sent;     // header packet, then payload: what goes over the cable
    std::string payload;  // payload alone, as the device stores it
};

struct InfoReport {
    std::string path;
    ImageCheck check;
    std::optional<std::string> statusText;
    std::optional<SentHashes> hashes;
    std::string problem;  // set when the file could not be hashed as it was checked
};

// The names the JSON output gives the file checks' refusals.
std::string_view VerdictName(const std::optional<Refusal>& refusal) {
    if (!refusal) {
        return "sendable";
    }
    switch (*refusal) {
        case Refusal::CannotOpen: return "cannot-open";
        case Refusal::TooShort: return "too-short";
        case Refusal::NoSignature: return "no-signature";
        case Refusal::UartImage: return "uart-image";
        case Refusal::TooLarge: return "too-large";
        case Refusal::CannotLoad: return "cannot-read";
        case Refusal::NoDevice:
        case Refusal::LibraryUnusable:
        case Refusal::DeviceUnreachable:
        case Refusal::CannotStart:
        case Refusal::DigestMismatch:
            break;  // only met once the device is involved or a digest asked, which info never does
    }
    return "unknown";
}

// A file that passed its check but could not then be hashed as checked is
// refused as the upgrade command would refuse its load.
std::optional<Refusal> ReportRefusal(const InfoReport& report) {
    return report.problem.empty() ? report.check.refusal : std::optional(Refusal::CannotLoad);
}

int ExitCodeOf(const InfoReport& report) {
    const std::optional<Refusal> refusal = ReportRefusal(report);
    return refusal ? ExitCodeFor(*refusal) : kExitOk;
}

std::string Explanation(const InfoReport& report) {
    if (!report.problem.empty()) {
        return report.problem;
    }
    const std::string size = std::to_string(report.check.fileSize);
    if (!report.check.refusal) {
        return "The image can be sent to the device.";
    }
    switch (*report.check.refusal) {
        case Refusal::CannotOpen:
            return "The file cannot be opened or read: it is missing, is a folder or a special file, or you "
                   "may not read it. Check the path and the file's permissions.";
        case Refusal::TooShort:
            return "The file is too short to be an image: it has " + size +
                   " bytes, and an image has at least 1028 (a 1024-byte header and 4 payload bytes). It may "
                   "have been cut short; copy or download it again.";
        case Refusal::NoSignature:
            return "The file is not an image: its first byte is not '$'. Choose a .rad image file.";
        case Refusal::UartImage:
            return "The image is made for the serial (UART) port and cannot be sent over USB. Choose the USB "
                   "image for this device.";
        case Refusal::TooLarge:
            return "The file has " + size +
                   " bytes, 4 GiB or more, which is too large to be an image. Check that this is the right file.";
        case Refusal::NoDevice:
        case Refusal::LibraryUnusable:
        case Refusal::DeviceUnreachable:
        case Refusal::CannotLoad:
        case Refusal::CannotStart:
        case Refusal::DigestMismatch:
            break;  // not a file check's refusal
    }
    return {};
}

std::string Hex32(std::uint32_t value) {
    char text[11];
    std::snprintf(text, sizeof text, "0x%08" PRIx32, value);
    return text;
}

// Streams the file's bytes 0..19 and 1024..end through two hashes. The file
// is read whole through the OS layer, which has no piecewise read; images
// stay below 4 GiB.
void HashSentBytes(os::FileReader& files, InfoReport& report) {
    const os::LoadedFile file = files.LoadWhole(report.path, kImageSizeLimit);
    if (file.status == os::FileStatus::NoMemory) {
        report.problem = "There is not enough memory to read the whole file. Close other programs and try again.";
        return;
    }
    if (file.status != os::FileStatus::Ok || file.size < kHeaderReadSize) {
        report.problem = "The file changed or could not be read whole after it was checked. Try again, and make "
                         "sure no other program is writing it.";
        return;
    }
    const std::span<const std::uint8_t> bytes(file.data.get(), file.size);
    const auto payload = bytes.subspan(kHeaderAreaSize);
    Sha256 sent;
    sent.Update(bytes.first(kHeaderPacketSize));
    sent.Update(payload);
    Sha256 payloadOnly;
    payloadOnly.Update(payload);
    Sha256 whole;
    whole.Update(bytes);
    report.hashes = SentHashes{whole.FinishHex(), sent.FinishHex(), payloadOnly.FinishHex()};
}

InfoReport MakeReport(const std::string& path) {
    os::System& system = os::RealSystem();
    InfoReport report;
    report.path = path;
    report.check = CheckImageFile(system.files, path);
    if (report.check.status) {
        const TextLookup texts(system.process, system.profiles);
        report.statusText =
            ComposeImageStatusText(texts.Lookup(kMessageSection, report.check.status->key), *report.check.status);
    }
    if (!report.check.refusal) {
        HashSentBytes(system.files, report);
    }
    return report;
}

constexpr std::string_view kFileLabel = "SHA-256 of the whole file (as sha256sum prints it)";
constexpr std::string_view kSentLabel = "SHA-256 of bytes 0-19 then 1024-end (as sent)";
constexpr std::string_view kPayloadLabel = "SHA-256 of bytes 1024-end (payload)";

void PrintText(const InfoReport& report) {
    const ImageCheck& check = report.check;
    std::ostringstream out;
    auto line = [&out](std::string_view label, const std::string& value) {
        out << label << ':' << std::string(label.size() < 20 ? 20 - label.size() : 1, ' ') << value << '\n';
    };
    line("File", report.path);
    if (check.refusal != Refusal::CannotOpen) {
        line("Real file size", std::to_string(check.fileSize) + " bytes");
    }
    if (check.header) {
        const ImageHeader& header = *check.header;
        line("Port", std::string(IsUsbImage(header) ? "USB" : "UART") + " (byte " + std::to_string(header.port) + ")");
        line("Flash type", FlashTypeName(header.flashType));
        std::string start = Hex32(header.startAddress);
        if (header.flashType == static_cast<std::uint8_t>(FlashType::Nand)) {
            start += " in 512-byte units, byte address " + Hex32(StartByteAddress(header));
        }
        line("Start address", start);
        line("Header file size", std::to_string(header.fileSize) + " bytes (the file has " +
                                     std::to_string(check.fileSize) + ")");
        line("Header packet count", std::to_string(header.packetCount));
        line("Payload", std::to_string(check.fileSize - kHeaderAreaSize) + " bytes from offset 1024");
        if (check.status && check.status->withDate) {
            line("Date", DateText(*check.status));
        }
    }
    if (report.statusText) {
        line("Image line", "\"" + *report.statusText + "\"");
    }
    if (report.hashes) {
        out << kFileLabel << ": " << report.hashes->file << '\n';
        out << kSentLabel << ": " << report.hashes->sent << '\n';
        out << kPayloadLabel << ": " << report.hashes->payload << '\n';
    }
    const bool sendable = ExitCodeOf(report) == kExitOk;
    line("Verdict", sendable ? "sendable" : "not sendable (" + std::string(VerdictName(ReportRefusal(report))) + ")");
    std::cout << out.str();
    if (sendable) {
        std::cout << Explanation(report) << '\n';
    } else {
        std::cerr << "tarnwick-cli: " << report.path << ": " << Explanation(report) << '\n';
    }
}

// The verdict, its message and key, and the file's real size.
void AddVerdict(JsonObject& json, const InfoReport& report) {
    const ImageCheck& check = report.check;
    json.Add("verdict", VerdictName(ReportRefusal(report)));
    json.AddBool("sendable", ExitCodeOf(report) == kExitOk);
    json.Add("message", Explanation(report));
    if (const std::optional<Refusal> refusal = ReportRefusal(report)) {
        json.Add("refusal_key", RefusalMessageKey(*refusal));
    } else {
        json.AddNull("refusal_key");
    }
    if (check.refusal == Refusal::CannotOpen) {
        json.AddNull("file_size");
    } else {
        json.AddNumber("file_size", static_cast<std::int64_t>(check.fileSize));
    }
}

// Every header field as it was decoded, and the payload's size.
void AddHeader(JsonObject& json, const ImageCheck& check) {
    if (!check.header) {
        json.AddNull("header");
        json.AddNull("payload_size");
        return;
    }
    const ImageHeader& header = *check.header;
    JsonObject fields;
    fields.AddNumber("port", header.port)
        .Add("port_kind", IsUsbImage(header) ? "usb" : "uart")
        .AddNumber("flash_type", header.flashType)
        .Add("flash_type_name", FlashTypeName(header.flashType))
        .AddNumber("start_address", header.startAddress)
        .AddNumber("start_byte_address", StartByteAddress(header))
        .AddNumber("file_size", header.fileSize)
        .AddNumber("packet_count", header.packetCount)
        .AddBool("dated", IsDated(header))
        .AddNumber("date_first", header.dateFirst)
        .AddNumber("date_second", header.dateSecond)
        .AddNumber("date_year", header.dateYear);
    json.AddRaw("header", fields.Text());
    json.AddNumber("payload_size", static_cast<std::int64_t>(check.fileSize - kHeaderAreaSize));
}

// The kind line the window would show, with its date.
void AddKindLine(JsonObject& json, const InfoReport& report) {
    const std::optional<ImageStatus>& status = report.check.status;
    if (status && status->withDate) {
        json.Add("date", DateText(*status));
    } else {
        json.AddNull("date");
    }
    if (status) {
        json.Add("status_key", status->key);
        json.Add("status_text", report.statusText.value_or(""));
    } else {
        json.AddNull("status_key");
        json.AddNull("status_text");
    }
}

void AddHashes(JsonObject& json, const InfoReport& report) {
    if (report.hashes) {
        json.Add("sha256_file", report.hashes->file);
        json.Add("sha256_sent", report.hashes->sent);
        json.Add("sha256_payload", report.hashes->payload);
    } else {
        json.AddNull("sha256_file");
        json.AddNull("sha256_sent");
        json.AddNull("sha256_payload");
    }
}

void PrintJson(const InfoReport& report) {
    JsonObject json;
    json.Add("path", report.path);
    AddVerdict(json, report);
    AddHeader(json, report.check);
    AddKindLine(json, report);
    AddHashes(json, report);
    std::cout << json.Text() << '\n';
}

}  // namespace

void AddInfoCommand(CLI::App& app, int& exitCode) {
    struct Options {
        std::string path;
        bool json = false;
    };
    auto options = std::make_shared<Options>();
    CLI::App* info = app.add_subcommand(
        "info", "Decode and judge an image file as the tool would before sending it; the device is not touched.");
    info->add_option("IMAGE", options->path, "The .rad image file")->required();
    info->add_flag("--json", options->json, "Print the decoded fields as one JSON object");
    info->footer(
        "Exit codes: 0 the image can be sent, 64 usage error, 65 not a sendable image (too short, no "
        "signature, UART, 4 GiB or more), 66 cannot be opened or read.");
    info->callback([options, &exitCode] {
        const InfoReport report = MakeReport(options->path);
        if (options->json) {
            PrintJson(report);
        } else {
            PrintText(report);
        }
        exitCode = ExitCodeOf(report);
    });
}

}  // namespace tarnwick::cli
