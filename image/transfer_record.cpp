#include "image/transfer_record.h"

#include <cstdio>

#include "image/transfer_worker.h"

namespace tarnwick {

std::string_view OutcomeName(const TransferOutcome& outcome) {
    switch (outcome.result) {
        case TransferResult::Complete:
            return "complete";
        case TransferResult::Stopped:
            return "stopped";
        case TransferResult::Failed:
            break;
    }
    return outcome.failure == TransferFailure::PipeBroken ? "dropped" : "failed";
}

std::string_view FailureName(TransferFailure failure) {
    switch (failure) {
        case TransferFailure::None:
            return "";
        case TransferFailure::ImageTooSmall:
            return "image too small";
        case TransferFailure::HeaderNotTaken:
            return "header not taken";
        case TransferFailure::PieceNotTaken:
            return "piece not taken";
        case TransferFailure::Stalled:
            return "stalled";
        case TransferFailure::PipeBroken:
            return "device went away";
        case TransferFailure::WriteStuck:
            return "write could not be ended";
        case TransferFailure::NoWriter:
            return "no writer";
        case TransferFailure::NotLoaded:
            return "image not loaded as checked";
    }
    return "";
}

void AddOutcomeFields(JsonObject& fields, const TransferOutcome& outcome, double seconds) {
    // Milliseconds are all a record needs.
    char secondsText[32];
    std::snprintf(secondsText, sizeof secondsText, "%.3f", seconds);
    fields.Add("outcome", OutcomeName(outcome));
    if (outcome.failure != TransferFailure::None) {
        fields.Add("failure", FailureName(outcome.failure));
    } else {
        fields.AddNull("failure");
    }
    fields.AddNumber("sent", static_cast<std::int64_t>(outcome.sent))
        .AddNumber("payload", static_cast<std::int64_t>(outcome.payload))
        .AddRaw("seconds", secondsText)
        .AddNumber("bytes_per_second",
                   seconds > 0 ? static_cast<std::int64_t>(static_cast<double>(outcome.sent) / seconds) : 0);
}

std::string RecordLine(const TransferRecordStart& start, const TransferOutcome& outcome, double seconds) {
    JsonObject record;
    record.AddNumber("v", kRecordVersion)
        .Add("time", start.time)
        .Add("tool", "tarnwick")
        .Add("version", TARNWICK_VERSION)
        .Add("front_end", start.origin.frontEnd);
    if (start.origin.unit) {
        record.AddNumber("unit", static_cast<std::int64_t>(*start.origin.unit));
    } else {
        record.AddNull("unit");
    }
    record.Add("image", start.imagePath)
        .AddNumber("image_size", static_cast<std::int64_t>(start.imageSize))
        .Add("image_sha256", start.imageSha256)
        .Add("image_kind", start.imageKind);
    if (start.imageDate) {
        record.Add("image_date", *start.imageDate);
    } else {
        record.AddNull("image_date");
    }
    record.Add("library", start.libraryPath).Add("library_sha256", start.librarySha256);
    AddOutcomeFields(record, outcome, seconds);
    return record.Text() + "\n";
}

bool AppendRecord(const HistoryEntry& entry, const TransferOutcome& outcome, double seconds) {
    return entry.store->Append(entry.path, RecordLine(entry.start, outcome, seconds));
}

}  // namespace tarnwick
