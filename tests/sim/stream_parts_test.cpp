// The simulator's own reading of a connection: the request line, the
// header packet and payload, the pacing of a slow device, and its report.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/sha256.h"
#include "sim/payload_sink.h"
#include "sim/request_line.h"
#include "sim/stream_check.h"
#include "sim/throttle.h"
#include "sim/transfer_record.h"
#include "support/json_value.h"
#include "tests/support/temp_dir.h"

#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace tarnwick::sim {
namespace {

std::span<const std::uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(ParseRequest, KnowsTheRequestsAndRefusesEverythingElse) {
    struct Case {
        std::string received;
        RequestKind kind;
        std::string pipe;
    };
    const Case cases[] = {
        {"DEV\n", RequestKind::Probe, ""},
        {"PIPE PIPE00\n", RequestKind::Pipe, "PIPE00"},
        {"PIPE pipe_7\n", RequestKind::Pipe, "pipe_7"},
        {"ATTACH\n", RequestKind::Attach, ""},
        {"DETACH\n", RequestKind::Detach, ""},
        {"STATUS\n", RequestKind::Status, ""},
        {"DEV", RequestKind::Incomplete, ""},
        {"", RequestKind::Incomplete, ""},
        {"dev\n", RequestKind::Invalid, ""},
        {"DEV \n", RequestKind::Invalid, ""},
        {"PIPE \n", RequestKind::Invalid, ""},
        {"PIPE A B\n", RequestKind::Invalid, ""},
        {"PIPE ../x\n", RequestKind::Invalid, ""},
        {std::string("DEV\0\n", 5), RequestKind::Invalid, ""},
        {std::string(64, 'x'), RequestKind::Invalid, ""},
        {std::string(63, 'x'), RequestKind::Incomplete, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.received);
        const Request request = ParseRequest(Bytes(c.received));
        EXPECT_EQ(request.kind, c.kind);
        EXPECT_EQ(request.pipeName, c.pipe);
    }
}

TEST(ParseRequest, LeavesWhatFollowsTheLineAlone) {
    const Request request = ParseRequest(Bytes("PIPE PIPE00\n$\x01\x01"));
    EXPECT_EQ(request.kind, RequestKind::Pipe);
    EXPECT_EQ(request.length, 12u);
}

std::string Header(char signature, char port) {
    std::string header(20, '\0');
    header[0] = signature;
    header[1] = port;
    header[2] = 2;
    const unsigned char fields[] = {0x00, 0x00, 0x01, 0x80,  // start address
                                    0x10, 0x04, 0x01, 0x00,  // file size 66576
                                    0xff, 0xff, 0xff, 0xff,  // packet count -1
                                    1, 2, 3, 4, 5};
    for (std::size_t i = 0; i < sizeof fields; ++i) {
        header[3 + i] = static_cast<char>(fields[i]);
    }
    return header;
}

TEST(StreamCheck, AHeaderSplitAnywhereIsReadTheSame) {
    const std::string stream = Header('$', 1) + "payload bytes";
    for (std::size_t split = 0; split <= stream.size(); ++split) {
        SCOPED_TRACE(split);
        StreamCheck check;
        std::string payload;
        for (const std::string& part : {stream.substr(0, split), stream.substr(split)}) {
            const auto given = check.Feed(Bytes(part));
            payload.append(given.begin(), given.end());
        }
        EXPECT_EQ(check.state(), StreamState::ReceivingPayload);
        EXPECT_EQ(payload, "payload bytes");
        EXPECT_EQ(check.payloadBytes(), 13u);
        EXPECT_EQ(check.header().startAddress, 0x80010000u);
        EXPECT_EQ(check.header().fileSize, 66576);
        EXPECT_EQ(check.header().packetCount, -1);
        EXPECT_EQ(check.header().flashType, 2);
    }
}

TEST(StreamCheck, RefusesAWrongSignatureOrAUartPortAndTakesNothingMore) {
    StreamCheck noSignature;
    EXPECT_TRUE(noSignature.Feed(Bytes(Header('#', 1) + "rest")).empty());
    EXPECT_EQ(noSignature.state(), StreamState::NoSignature);
    EXPECT_TRUE(noSignature.Feed(Bytes("more")).empty());
    EXPECT_EQ(noSignature.payloadBytes(), 0u);

    StreamCheck uart;
    uart.Feed(Bytes(Header('$', 0)));
    EXPECT_EQ(uart.state(), StreamState::UartPort);
    EXPECT_TRUE(uart.refused());
}

TEST(StreamCheck, CountsTheBytesLeftBeforeALimit) {
    StreamCheck check;
    EXPECT_EQ(check.BytesUntilPayload(100), 120u);
    check.Feed(Bytes(Header('$', 1).substr(0, 5)));
    EXPECT_EQ(check.BytesUntilPayload(100), 115u);
    check.Feed(Bytes(Header('$', 1).substr(5) + std::string(40, 'p')));
    EXPECT_EQ(check.BytesUntilPayload(100), 60u);
    EXPECT_EQ(check.BytesUntilPayload(40), 0u);
    EXPECT_EQ(check.BytesUntilPayload(0), 0u);
}

// Payload that spans many blocks, given both ways a transfer gives it.
std::vector<std::uint8_t> SomePayload(std::size_t size) {
    std::vector<std::uint8_t> payload(size);
    for (std::size_t i = 0; i < size; ++i) {
        payload[i] = static_cast<std::uint8_t>(i * 31 + i / 4099);
    }
    return payload;
}

TEST(PayloadSink, HashesAndStoresEveryByteInOrder) {
    test::TempDir folder;
    const std::string stored = folder.File("payload.bin");
    const int fd = open(stored.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    const std::vector<std::uint8_t> payload = SomePayload(3 * PayloadSink::kBlockBytes + 12345);

    PayloadSink::Result result;
    {
        PayloadSink sink(fd);
        std::span<const std::uint8_t> rest(payload);
        sink.Append(rest.first(7));  // bytes that came with the request line
        rest = rest.subspan(7);
        while (!rest.empty()) {
            // Reads of odd sizes straight into the sink's space.
            const std::span<std::uint8_t> space = sink.Space();
            const std::size_t n = std::min({space.size(), rest.size(), std::size_t{70001}});
            std::copy_n(rest.begin(), n, space.begin());
            sink.Commit(n);
            rest = rest.subspan(n);
        }
        result = sink.Finish();
    }
    close(fd);

    Sha256 expected;
    expected.Update(payload);
    EXPECT_EQ(result.sha256, expected.FinishHex());
    EXPECT_TRUE(result.stored);
    std::ifstream file(stored, std::ios::binary);
    const std::vector<std::uint8_t> kept{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    EXPECT_EQ(kept, payload);
}

TEST(PayloadSink, AStoreThatFailsIsReportedAndHashingGoesOn) {
    const int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);
    const std::vector<std::uint8_t> payload = SomePayload(1000);
    PayloadSink sink(full);
    sink.Append(payload);
    const PayloadSink::Result result = sink.Finish();
    close(full);

    Sha256 expected;
    expected.Update(payload);
    EXPECT_EQ(result.sha256, expected.FinishHex());
    EXPECT_FALSE(result.stored);
}

TEST(PayloadSink, NothingStoredWithoutAStoreAndAnEmptyPayloadHashesAsEmpty) {
    PayloadSink sink(-1);
    const PayloadSink::Result result = sink.Finish();
    EXPECT_EQ(result.sha256, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_FALSE(result.stored);
}

// A reader that always wants more than it may have, as against a sender
// that never lets up, over simulated time.
std::uint64_t TakenBySaturatingReader(Throttle& throttle, Throttle::Clock::time_point start,
                                      std::chrono::microseconds step, std::chrono::seconds span) {
    std::uint64_t taken = 0;
    for (auto now = start; now < start + span; now += step) {
        const std::size_t allowed = throttle.Allowance(now, 1 << 20);
        throttle.Took(allowed);
        taken += allowed;
    }
    return taken;
}

TEST(Throttle, HoldsTheRateOverTimeWhateverTheReadingPace) {
    const auto start = Throttle::Clock::time_point{} + std::chrono::hours(1);
    for (const std::uint64_t rate : {1'200'000ull, 40'000'000ull}) {
        for (const auto step : {std::chrono::microseconds(100), std::chrono::microseconds(1700),
                                std::chrono::microseconds(20000)}) {
            SCOPED_TRACE(std::to_string(rate) + " B/s, step " + std::to_string(step.count()) + " us");
            Throttle throttle(rate, start);
            const double taken = static_cast<double>(TakenBySaturatingReader(throttle, start, step, std::chrono::seconds(10)));
            EXPECT_NEAR(taken / 10.0, static_cast<double>(rate), static_cast<double>(rate) * 0.01);
        }
    }
}

TEST(Throttle, APauseEarnsNoBurst) {
    const auto start = Throttle::Clock::time_point{} + std::chrono::hours(1);
    Throttle throttle(1'000'000, start);
    const std::size_t afterPause = throttle.Allowance(start + std::chrono::seconds(5), 1 << 30);
    EXPECT_LE(afterPause, 50'000u);  // at most 50 ms worth
    EXPECT_GT(afterPause, 0u);
}

TEST(Throttle, AsksToWaitWhenNothingIsLeft) {
    const auto start = Throttle::Clock::time_point{} + std::chrono::hours(1);
    Throttle throttle(1'000'000, start);
    EXPECT_EQ(throttle.Allowance(start, 4096), 0u);
    EXPECT_GT(throttle.WaitTime(), std::chrono::nanoseconds(0));
    EXPECT_LE(throttle.WaitTime(), std::chrono::milliseconds(2));
}

TEST(Throttle, NoRateMeansNoLimit) {
    Throttle throttle(0, Throttle::Clock::now());
    EXPECT_FALSE(throttle.limited());
    EXPECT_EQ(throttle.Allowance(Throttle::Clock::now(), 1 << 20), 1u << 20);
}

TEST(ReportJson, IsValidJsonWithEveryTransferAndEscapedText) {
    TransferRecord complete;
    complete.index = 1;
    complete.pipeName = "PIPE00";
    complete.headerBytes = 20;
    complete.header.signature = '$';
    complete.header.port = 1;
    complete.header.fileSize = -5;
    complete.payloadBytes = 4;
    complete.payloadSha256 = "ab";
    complete.outcome = "complete";
    complete.storedPath = "/tmp/a \"quoted\"\\path\n";
    TransferRecord cut;
    cut.index = 2;
    cut.headerBytes = 3;
    cut.outcome = "short-header";

    const std::optional<JsonValue> report = JsonValue::Parse(ReportJson({complete, cut}));

    ASSERT_TRUE(report);
    const auto& transfers = (*report)["transfers"].items();
    ASSERT_EQ(transfers.size(), 2u);
    EXPECT_TRUE(transfers[0]["complete"].AsBool());
    EXPECT_EQ(transfers[0]["stored"].AsString(), complete.storedPath);
    EXPECT_EQ(transfers[0]["header"]["fileSize"].AsNumber(), -5);
    EXPECT_FALSE(transfers[1]["complete"].AsBool());
    EXPECT_EQ(transfers[1]["outcome"].AsString(), "short-header");
    EXPECT_FALSE(transfers[1]["header"].Has("signature"));  // a cut-off header has no fields
    EXPECT_TRUE(JsonValue::Parse(ReportJson({})));
}

}  // namespace
}  // namespace tarnwick::sim
