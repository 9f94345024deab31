// `tarnwick-cli history [--last N] [--json]`: the most recent transfers from
// the history file, read and never rewritten. A line that is not a record
// is skipped and counted in one warning.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/progress_line.h"
#include "image/transfer_record.h"
#include "platform/system.h"
#include "support/json_value.h"

namespace tarnwick::cli {
namespace {

// The history of years of daily use stays far below this.
constexpr std::size_t kHistoryReadLimit = std::size_t{256} << 20;

struct Record {
    std::string line;
    JsonValue value;
};

bool IsRecord(const JsonValue& value) {
    return value.kind() == JsonValue::Kind::Object && value["v"].kind() == JsonValue::Kind::Number &&
           value["v"].AsNumber() == kRecordVersion && value["time"].kind() == JsonValue::Kind::String &&
           value["outcome"].kind() == JsonValue::Kind::String;
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string TableRow(const JsonValue& record) {
    const std::string digest = record["image_sha256"].AsString().substr(0, 12);
    char row[512];
    std::snprintf(row, sizeof row, "%-24s  %-8s  %-24s  %-12s  %12llu of %-12llu  %10s",
                  record["time"].AsString().c_str(), record["outcome"].AsString().c_str(),
                  BaseName(record["image"].AsString()).c_str(), digest.c_str(),
                  static_cast<unsigned long long>(record["sent"].AsUnsigned()),
                  static_cast<unsigned long long>(record["payload"].AsUnsigned()),
                  FormatDuration(Seconds(record["seconds"].AsNumber())).c_str());
    return row;
}

int ShowHistory(std::size_t last, bool json) {
    os::System& system = os::RealSystem();
    const std::string path = system.history.Path();
    const std::optional<std::string> text = system.files.ReadText(path, kHistoryReadLimit);
    if (!text) {
        std::fprintf(stderr, "tarnwick-cli history: no history at %s yet, or it cannot be read\n",
                     path.empty() ? "(no place)" : path.c_str());
        return kExitOk;
    }
    std::vector<Record> records;
    std::size_t skipped = 0;
    for (std::size_t start = 0; start < text->size();) {
        std::size_t end = text->find('\n', start);
        if (end == std::string::npos) {
            end = text->size();
        }
        std::string line = text->substr(start, end - start);
        start = end + 1;
        if (line.empty()) {
            continue;
        }
        std::optional<JsonValue> value = JsonValue::Parse(line);
        if (value && IsRecord(*value)) {
            records.push_back({std::move(line), std::move(*value)});
        } else {
            ++skipped;
        }
    }
    if (skipped > 0) {
        std::fprintf(stderr, "tarnwick-cli history: warning: %zu line%s of %s %s not a record and skipped\n", skipped,
                     skipped == 1 ? "" : "s", path.c_str(), skipped == 1 ? "is" : "are");
    }
    const std::size_t first = records.size() > last ? records.size() - last : 0;
    if (!json) {
        std::printf("%-24s  %-8s  %-24s  %-12s  %28s  %10s\n", "time (UTC)", "outcome", "image", "sha256", "bytes sent",
                    "seconds");
    }
    for (std::size_t i = first; i < records.size(); ++i) {
        std::printf("%s\n", json ? records[i].line.c_str() : TableRow(records[i].value).c_str());
    }
    return kExitOk;
}

}  // namespace

void AddHistoryCommand(CLI::App& app, int& exitCode) {
    struct Options {
        std::size_t last = 20;
        bool json = false;
    };
    auto options = std::make_shared<Options>();
    CLI::App* history = app.add_subcommand(
        "history", "The most recent transfers, as every front end recorded them ($TARNWICK_HISTORY names the file).");
    history->add_option("--last", options->last, "how many of the most recent transfers (20)");
    history->add_flag("--json", options->json, "the records themselves, one JSON object per line");
    history->callback([options, &exitCode] { exitCode = ShowHistory(options->last, options->json); });
}

}  // namespace tarnwick::cli
