// The real tarnwick-cli station, flash --wait, --sha256, --json and the
// history, against the real simulator, attached and detached as a person
// at a bench would.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sstream>
#include <thread>

#include "cli/exit_codes.h"
#include "support/json_value.h"
#include "tests/transfer/flash_e2e_support.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;
using testing::ExpectDeviceGotFile;
using testing::PatternImage;

std::string WholeSha(const std::vector<std::uint8_t>& file) { return Sha256::HexDigestOf(file); }

std::string ReadText(const std::string& path) {
    const std::vector<std::uint8_t> bytes = testing::ReadFile(path);
    return {bytes.begin(), bytes.end()};
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    return lines;
}

class StationEndToEnd : public ::testing::Test {
protected:
    StationEndToEnd() { testing::WriteFile(image, file); }

    std::vector<std::string> Environment(const test::SimProcess& sim) const {
        return testing::ToolEnvironment({sim.Environment(), "TARNWICK_HISTORY=" + history});
    }
    std::unique_ptr<test::ChildProcess> Start(const test::SimProcess& sim, std::vector<std::string> arguments) const {
        return std::make_unique<test::ChildProcess>(test::BinPath("tarnwick-cli"), arguments, Environment(sim));
    }
    // tarnwick-cli with `arguments`, or the program the first one names
    // when it is a path.
    std::optional<test::ProgramResult> Run(const test::SimProcess& sim, std::vector<std::string> arguments,
                                           std::chrono::milliseconds timeout = 30s) const {
        std::string program = test::BinPath("tarnwick-cli");
        if (arguments.front().front() == '/') {
            program = arguments.front();
            arguments.erase(arguments.begin());
        }
        return test::RunProgram(program, arguments, Environment(sim), timeout);
    }
    // The history's records, each parsed.
    std::vector<JsonValue> Records() const {
        std::vector<JsonValue> records;
        for (const std::string& line : Lines(ReadText(history))) {
            const std::optional<JsonValue> record = JsonValue::Parse(line);
            EXPECT_TRUE(record.has_value()) << line;
            if (record) {
                records.push_back(*record);
            }
        }
        return records;
    }

    test::TempDir dir;
    const std::vector<std::uint8_t> file = PatternImage(300'000);
    const std::string image = dir.File("unit.rad");
    const std::string history = dir.File("state/history.jsonl");
};

TEST_F(StationEndToEnd, SendsEachAttachedUnitOnceRecordsItAndEndsWithTheTally) {
    test::SimProcess sim;
    ASSERT_TRUE(sim.ready()) << sim.Log();
    const auto station = Start(sim, {"station", image, "--yes", "--count", "3"});
    for (unsigned unit = 1; unit <= 3; ++unit) {
        SCOPED_TRACE(unit);
        const auto transfer = sim.WaitForTransfer(unit);
        ASSERT_TRUE(transfer.has_value()) << sim.Log();
        ExpectDeviceGotFile(*transfer, file);
        if (unit == 1) {
            // Left attached, the unit is never sent the image again.
            std::this_thread::sleep_for(2500ms);
            EXPECT_EQ(sim.Status()->finished, 1u);
        }
        if (unit < 3) {
            ASSERT_TRUE(sim.Detach());
            std::this_thread::sleep_for(1500ms);
            ASSERT_TRUE(sim.Attach());
        }
    }
    const std::string output = station->ReadRest(30s);
    EXPECT_EQ(station->Wait(5s), cli::kExitOk) << output;
    EXPECT_THAT(output, HasSubstr("unit 1: remove the device"));
    EXPECT_EQ(Lines(output).back(), "tally: 3 complete, 0 failed") << output;

    const std::vector<JsonValue> records = Records();
    ASSERT_EQ(records.size(), 3u);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const JsonValue& record = records[i];
        EXPECT_EQ(record["v"].AsNumber(), 1);
        EXPECT_EQ(record["front_end"].AsString(), "station");
        EXPECT_EQ(record["unit"].AsUnsigned(), i + 1);
        EXPECT_EQ(record["outcome"].AsString(), "complete");
        EXPECT_EQ(record["image"].AsString(), image);
        EXPECT_EQ(record["image_size"].AsUnsigned(), file.size());
        EXPECT_EQ(record["image_sha256"].AsString(), WholeSha(file));
        EXPECT_EQ(record["sent"].AsUnsigned(), file.size() - 1024);
        EXPECT_THAT(record["library"].AsString(), HasSubstr("libVantrelUSB.so"));
        EXPECT_EQ(record["library_sha256"].AsString().size(), 64u);
        EXPECT_EQ(record["time"].AsString().size(), 24u);  // 2026-12-09T15:48:17.123Z
    }
}

// Units the device drops are failures, recorded as such; the station goes
// on unless told to stop at the first, and a stop request between units
// ends it at once with the tally.
TEST_F(StationEndToEnd, DroppedUnitsFailAndAStopBetweenUnitsEndsAtOnce) {
    test::SimProcess sim({.dropAfter = 100'000});
    ASSERT_TRUE(sim.ready()) << sim.Log();
    // With --json, standard output holds events and nothing else: a
    // failed flash ends with its end event, a station with its tally.
    for (const auto& [command, last] :
         {std::pair{"flash", "end"}, std::pair{"station --stop-on-failure", "tally"}}) {
        SCOPED_TRACE(command);
        const auto result = Run(sim, {"/bin/sh", "-c", test::BinPath("tarnwick-cli") + " " + command + " '" + image +
                                                            "' --yes --json 2>/dev/null"});
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(result->exitCode, cli::kExitTransferFailed) << result->output;
        std::vector<std::string> events;
        std::string outcome;
        for (const std::string& line : Lines(result->output)) {
            const std::optional<JsonValue> event = JsonValue::Parse(line);
            ASSERT_TRUE(event.has_value()) << "not JSON on standard output: " << line;
            events.push_back((*event)["event"].AsString());
            if (events.back() == "end") {
                outcome = (*event)["outcome"].AsString();
            }
        }
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events.back(), last);
        EXPECT_THAT(events, ::testing::IsSupersetOf({"image", "start", "end"}));
        EXPECT_EQ(outcome, "dropped");
    }
    const auto station = Start(sim, {"station", image, "--yes"});
    ASSERT_TRUE(sim.WaitForTransfer(3).has_value()) << sim.Log();
    ASSERT_TRUE(sim.Detach());
    std::this_thread::sleep_for(1500ms);
    const auto stoppedAt = std::chrono::steady_clock::now();
    station->Signal(SIGTERM);
    const std::string output = station->ReadRest(10s);
    EXPECT_EQ(station->Wait(5s), cli::kExitTerminated) << output;
    EXPECT_LT(std::chrono::steady_clock::now() - stoppedAt, 2s);
    EXPECT_EQ(Lines(output).back(), "tally: 0 complete, 1 failed") << output;

    const std::vector<JsonValue> records = Records();
    ASSERT_EQ(records.size(), 3u);
    for (const JsonValue& record : records) {
        EXPECT_EQ(record["outcome"].AsString(), "dropped");
        EXPECT_EQ(record["failure"].AsString(), "device went away");
        EXPECT_LT(record["sent"].AsUnsigned(), file.size() - 1024);
    }
}

// Waiting ends when nothing can come: a flash after its limit, a station
// whose device library is unusable at once.
TEST_F(StationEndToEnd, WaitsOnlyForWhatCanComeAndRefusesAnImageWithAnotherDigest) {
    test::SimProcess sim({.detached = true});
    ASSERT_TRUE(sim.ready()) << sim.Log();
    {
        const auto result = test::RunProgram(test::BinPath("tarnwick-cli"), {"station", image, "--yes"},
                                             {sim.Environment(), "LD_LIBRARY_PATH=" + test::DoubleDir("no_open_dev")},
                                             10s);
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(result->exitCode, cli::kExitNoDevice) << result->output;
        EXPECT_THAT(result->output, HasSubstr("lacks open_dev"));
    }
    {
        const auto started = std::chrono::steady_clock::now();
        const auto result = Run(sim, {"flash", image, "--yes", "--wait=2"});
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(result->exitCode, cli::kExitNoDevice) << result->output;
        EXPECT_GE(std::chrono::steady_clock::now() - started, 2s);
    }
    {
        const std::string wrong(64, 'a');
        const auto result = Run(sim, {"flash", image, "--yes", "--wait", "--sha256", wrong});
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(result->exitCode, cli::kExitNotAnImage) << result->output;
        EXPECT_THAT(result->output, HasSubstr(wrong));
        EXPECT_THAT(result->output, HasSubstr(WholeSha(file)));
    }
    const auto flash = Start(sim, {"flash", image, "--yes", "--wait=20", "--sha256", WholeSha(file)});
    std::this_thread::sleep_for(1s);
    ASSERT_TRUE(sim.Attach());
    EXPECT_EQ(flash->Wait(20s), cli::kExitOk) << flash->ReadRest(1s);
    const auto transfer = sim.WaitForTransfer(1);
    ASSERT_TRUE(transfer.has_value()) << sim.Log();
    ExpectDeviceGotFile(*transfer, file);
    EXPECT_EQ(sim.Transfers().size(), 1u) << "the refused image reached the device";
    ASSERT_EQ(Records().size(), 1u);
    EXPECT_EQ(Records()[0]["front_end"].AsString(), "flash");
}

// A history that cannot be written changes nothing but a warning; the
// history command reads what there is and skips what is not a record.
TEST_F(StationEndToEnd, HistoryNeverChangesAnOutcomeAndIsReadBackAsATable) {
    test::SimProcess sim;
    ASSERT_TRUE(sim.ready()) << sim.Log();
    const std::string notAFolder = dir.File("file");
    testing::WriteFile(notAFolder, {1});
    const auto lost = test::RunProgram(test::BinPath("tarnwick-cli"), {"flash", image, "--yes"},
                                       testing::ToolEnvironment({sim.Environment(), "TARNWICK_HISTORY=" + notAFolder +
                                                                                        "/history.jsonl"}));
    ASSERT_TRUE(lost.has_value());
    EXPECT_EQ(lost->exitCode, cli::kExitOk) << lost->output;
    EXPECT_THAT(lost->output, HasSubstr("complete:"));
    EXPECT_THAT(lost->output, HasSubstr("warning: the history could not be written"));

    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(Run(sim, {"flash", image, "--yes", "--quiet"})->exitCode, cli::kExitOk);
    }
    std::ofstream(history, std::ios::app) << "not a record\n";
    const auto table = Run(sim, {"history", "--last", "2"});
    ASSERT_TRUE(table.has_value());
    EXPECT_EQ(table->exitCode, cli::kExitOk) << table->output;
    EXPECT_THAT(table->output, HasSubstr("1 line of " + history + " is not a record"));
    EXPECT_EQ(Lines(table->output).size(), 1u + 1u + 2u);  // warning, heading, two rows
    EXPECT_THAT(table->output, HasSubstr(WholeSha(file).substr(0, 12)));
    const auto json = Run(sim, {"history", "--json"});
    ASSERT_TRUE(json.has_value());
    for (const std::string& line : Lines(json->output)) {
        if (line.front() == '{') {
            EXPECT_TRUE(JsonValue::Parse(line).has_value()) << line;
        }
    }
    EXPECT_EQ(Lines(ReadText(history)).size(), 3u + 1u) << "the history was rewritten";
}

}  // namespace
}  // namespace tarnwick
