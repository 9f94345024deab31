#pragma once
// The history record of one transfer: one JSON object on one line ("v":1),
// appended to the history file whatever the transfer's end, by every front
// end alike. README lists every field.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/system.h"
#include "support/json_text.h"

namespace tarnwick {

struct TransferOutcome;
enum class TransferFailure;

inline constexpr int kRecordVersion = 1;

// Which front end sent: "window", "flash", or "station" with the unit's
// number.
struct RecordOrigin {
    std::string frontEnd;
    std::optional<std::uint64_t> unit;
};

// What is known of a transfer before it starts.
struct TransferRecordStart {
    RecordOrigin origin;
    std::string time;  // UTC, ISO 8601 with milliseconds
    std::string imagePath;
    std::uint64_t imageSize = 0;
    std::string imageSha256;  // the whole file's; taken beside the send when empty
    std::string imageKind;
    std::optional<std::string> imageDate;
    std::string libraryPath;
    std::string librarySha256;
};

// Where a transfer's record goes; set on the TransferState by the upgrade
// command when the front end keeps a history.
struct HistoryEntry {
    os::HistoryStore* store = nullptr;
    std::string path;
    TransferRecordStart start;
};

// "complete", "stopped", "dropped" (the device went away) or "failed".
std::string_view OutcomeName(const TransferOutcome& outcome);
// The failure's name ("stalled", "header not taken", ...), empty for none.
std::string_view FailureName(TransferFailure failure);

// The outcome's fields as the record and the CLI's end event both give
// them: "outcome", "failure", "sent", "payload", "seconds", "bytes_per_second".
void AddOutcomeFields(JsonObject& object, const TransferOutcome& outcome, double seconds);

// The whole record, with its line feed.
std::string RecordLine(const TransferRecordStart& start, const TransferOutcome& outcome, double seconds);
// Appends the record of a transfer that ended so; false when it was lost.
bool AppendRecord(const HistoryEntry& entry, const TransferOutcome& outcome, double seconds);

}  // namespace tarnwick
