#include "cli/json_events.h"

#include "image/image_header.h"
#include "image/transfer_record.h"
#include "support/json_text.h"

namespace tarnwick::cli {
namespace {

JsonObject Event(std::string_view name) {
    JsonObject event;
    event.Add("event", name);
    return event;
}

void AddUnit(JsonObject& event, std::optional<std::uint64_t> unit) {
    if (unit) {
        event.AddNumber("unit", static_cast<std::int64_t>(*unit));
    }
}

}  // namespace

std::string ImageEvent(const ImageFacts& facts, const std::optional<ImageStatus>& status, const std::string& sha256) {
    JsonObject event = Event("image");
    event.Add("path", facts.path)
        .AddNumber("size", static_cast<std::int64_t>(facts.fileSize))
        .AddNumber("payload", static_cast<std::int64_t>(facts.payloadSize))
        .Add("kind", FlashTypeName(facts.header.flashType));
    if (status && status->withDate) {
        event.Add("date", DateText(*status));
    } else {
        event.AddNull("date");
    }
    if (sha256.empty()) {
        event.AddNull("sha256");
    } else {
        event.Add("sha256", sha256);
    }
    return event.Text();
}

std::string WaitingEvent(std::string_view what, std::optional<std::uint64_t> unit) {
    JsonObject event = Event("waiting");
    event.Add("for", what);
    AddUnit(event, unit);
    return event.Text();
}

std::string StartEvent(std::uint64_t payload, std::optional<std::uint64_t> unit) {
    JsonObject event = Event("start");
    event.AddNumber("payload", static_cast<std::int64_t>(payload));
    AddUnit(event, unit);
    return event.Text();
}

std::string ProgressEvent(std::uint64_t sent, std::uint64_t payload) {
    JsonObject event = Event("progress");
    event.AddNumber("sent", static_cast<std::int64_t>(sent))
        .AddNumber("payload", static_cast<std::int64_t>(payload))
        .AddNumber("percent", ProgressPosition(sent, payload));
    return event.Text();
}

std::string EndEvent(const TransferOutcome& outcome, double seconds, const std::string& payloadSha256,
                     std::optional<std::uint64_t> unit) {
    JsonObject event = Event("end");
    AddUnit(event, unit);
    event.Add("payload_sha256", payloadSha256);
    AddOutcomeFields(event, outcome, seconds);
    return event.Text();
}

std::string UnitEvent(std::uint64_t unit, const TransferOutcome& outcome, double seconds) {
    JsonObject event = Event("unit");
    AddUnit(event, unit);
    AddOutcomeFields(event, outcome, seconds);
    return event.Text();
}

std::string TallyEvent(std::uint64_t complete, std::uint64_t failed) {
    JsonObject event = Event("tally");
    event.AddNumber("complete", static_cast<std::int64_t>(complete))
        .AddNumber("failed", static_cast<std::int64_t>(failed));
    return event.Text();
}

std::string ErrorEvent(int status, std::optional<std::string_view> key, const std::string& message) {
    JsonObject event = Event("error");
    event.AddNumber("status", status);
    if (key) {
        event.Add("key", *key);
    } else {
        event.AddNull("key");
    }
    event.Add("message", message);
    return event.Text();
}

}  // namespace tarnwick::cli
