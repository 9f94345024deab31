#include "image/upgrade_command.h"

#include <gtest/gtest.h>

#include "tests/image/image_bytes.h"
#include "tests/transfer/transfer_fakes.h"

namespace tarnwick {
namespace {

using testing::FakeClock;
using testing::FakeFiles;
using testing::FakeLibraries;
using testing::FakePipe;
using testing::ImageBytes;
using Events = std::vector<std::string>;

// Records every call as one short line, in order.
class FakeSeam final : public UpgradeSeam {
public:
    explicit FakeSeam(FakeLibraries& libraries) : libraries_(libraries) {}

    std::optional<std::string> ChooseImageFile() override {
        events.push_back("choose");
        return chosen;
    }
    void StoreImagePath(const std::string& path) override { events.push_back("store " + path); }
    void ShowImageKind(const ImageStatus& status) override {
        events.push_back("kind " + std::string(status.key));
    }
    bool DevicePresent() override {
        events.push_back("present?");
        return present;
    }
    bool ConfirmSend(const ImageFacts& facts) override {
        events.push_back("confirm");
        confirmedFacts = facts;
        return confirm;
    }
    void Refuse(Refusal refusal, std::string_view key) override {
        events.push_back("refuse " + std::string(key));
        refusals.push_back(refusal);
    }
    bool StartTransfer(TransferState state, const ImageFacts&) override {
        events.push_back("start");
        libraryLoadedAtStart = libraries_.loads != libraries_.unloads;
        if (!startWorks) {
            return false;  // `state` goes out of scope here and gives everything back
        }
        started = std::move(state);
        return true;
    }
    void RearmPresenceTimer(std::chrono::milliseconds period) override {
        events.push_back("rearm " + std::to_string(period.count()));
    }

    std::optional<std::string> chosen = "/images/a.rad";
    bool present = true;
    bool confirm = true;
    bool startWorks = true;
    Events events;
    std::vector<Refusal> refusals;
    std::optional<ImageFacts> confirmedFacts;
    std::optional<TransferState> started;
    bool libraryLoadedAtStart = false;

private:
    FakeLibraries& libraries_;
};

std::string UsbEflashImage(std::size_t payload) {
    std::string file = ImageBytes().Port(1).Flash(1).AsString();
    file.resize(1024 + payload, '\x5A');
    return file;
}

class UpgradeCommandTest : public ::testing::Test {
protected:
    void SetUp() override { FakeLibraries::openFileHandle = FakePipe::kPipe; }
    void TearDown() override { FakeLibraries::openFileHandle = FakePipe::kPipe; }

    UpgradeRun Run() { return UpgradeCommand(files, libraries, pipe).Run(seam); }

    // The library is never left loaded, and nothing but our pipe is closed.
    void ExpectNothingKept() {
        EXPECT_EQ(libraries.loads, libraries.unloads);
        EXPECT_EQ(pipe.foreignCloses(), 0);
    }

    FakeFiles files;
    FakeLibraries libraries;
    FakeClock clock;
    FakePipe pipe{clock};
    FakeSeam seam{libraries};
};

TEST_F(UpgradeCommandTest, CancelledChoiceChangesNothing) {
    seam.chosen.reset();
    const UpgradeRun run = Run();
    EXPECT_EQ(run.end, UpgradeEnd::Cancelled);
    EXPECT_EQ(seam.events, Events{"choose"});
    EXPECT_EQ(files.prefixReads, 0);
    EXPECT_EQ(libraries.attempts, 0);
}

TEST_F(UpgradeCommandTest, StartsTheTransferWithTheWholeFileAndTheOpenPipe) {
    const std::string file = UsbEflashImage(3000);
    files.files["/images/a.rad"] = file;
    const UpgradeRun run = Run();

    EXPECT_EQ(run.end, UpgradeEnd::Started);
    EXPECT_EQ(seam.events, (Events{"choose", "store /images/a.rad", "kind 1027", "present?", "confirm",
                                   "start", "rearm 1000"}));
    ASSERT_TRUE(seam.started.has_value());
    const TransferState& state = *seam.started;
    EXPECT_EQ(state.imageSize, file.size());
    EXPECT_EQ(state.sent, 0u);
    EXPECT_NE(state.pipe, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(state.image.get()), state.imageSize), file);
    EXPECT_EQ(libraries.pipeNamesAsked, std::vector<std::string>{"PIPE00"});
    EXPECT_FALSE(seam.libraryLoadedAtStart);
    EXPECT_EQ(pipe.closes(), 0);  // the pipe now belongs to the transfer
    ASSERT_TRUE(seam.confirmedFacts.has_value());
    EXPECT_EQ(seam.confirmedFacts->payloadSize, 3000u);
    ExpectNothingKept();

    seam.started.reset();
    EXPECT_EQ(pipe.closes(), 1);
}

TEST_F(UpgradeCommandTest, SmallestImageAndImagesWithoutAKindLineAreSent) {
    // Exactly 1028 bytes, NAND: no kind line, and still sent.
    files.files["/images/a.rad"] = ImageBytes().Port(0x80).Flash(3).AsString();
    const UpgradeRun run = Run();
    EXPECT_EQ(run.end, UpgradeEnd::Started);
    EXPECT_EQ(seam.events, (Events{"choose", "store /images/a.rad", "present?", "confirm", "start", "rearm 1000"}));
    ASSERT_TRUE(seam.started.has_value());
    EXPECT_EQ(seam.started->imageSize, 1028u);
}

TEST_F(UpgradeCommandTest, DecliningBeforeThePipeIsOpenedTakesNothing) {
    files.files["/images/a.rad"] = UsbEflashImage(10);
    seam.confirm = false;
    EXPECT_EQ(Run().end, UpgradeEnd::Declined);
    EXPECT_EQ(libraries.attempts, 0);
    EXPECT_EQ(files.wholeLoads, 0);
    EXPECT_EQ(seam.events.back(), "confirm");
}

// Checks before the device is touched: each refusal comes at its place in
// the order, and the path is kept whatever the file turned out to be.
TEST_F(UpgradeCommandTest, FileChecksRefuseInOrderBeforeTheDeviceIsTouched) {
    struct Case {
        const char* name;
        std::optional<std::string> content;
        bool present;
        Events tail;
        Refusal refusal;
    };
    std::string shortButSigned = ImageBytes().Port(1).Flash(1).AsString();
    shortButSigned.resize(1027);
    const std::vector<Case> cases = {
        {"missing", std::nullopt, true, {"refuse 1020"}, Refusal::CannotOpen},
        {"1027 bytes", shortButSigned, true, {"refuse 1023"}, Refusal::TooShort},
        {"empty", std::string(), true, {"refuse 1023"}, Refusal::TooShort},
        {"no signature", ImageBytes().Signature('#').Port(1).AsString(), true, {"refuse 1022"},
         Refusal::NoSignature},
        {"UART e-flash", ImageBytes().Port(0).Flash(1).AsString(), true, {"kind 1027", "refuse 1022"},
         Refusal::UartImage},
        {"dated serial, no device", ImageBytes().Port(1).Flash(2).StartAddressBytes(0, 0, 1, 0).AsString(),
         false, {"kind 1029", "present?", "refuse 1021"}, Refusal::NoDevice},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFiles localFiles;
        if (c.content) {
            localFiles.files["/images/a.rad"] = *c.content;
        }
        FakeLibraries localLibraries;
        FakeSeam localSeam{localLibraries};
        localSeam.present = c.present;
        const UpgradeRun run = UpgradeCommand(localFiles, localLibraries, pipe).Run(localSeam);

        Events expected{"choose", "store /images/a.rad"};
        expected.insert(expected.end(), c.tail.begin(), c.tail.end());
        EXPECT_EQ(localSeam.events, expected);
        EXPECT_EQ(run.end, UpgradeEnd::Refused);
        EXPECT_EQ(run.refusal, c.refusal);
        EXPECT_EQ(localLibraries.attempts, 0);
        EXPECT_EQ(localFiles.wholeLoads, 0);
    }
}

TEST_F(UpgradeCommandTest, UnusableLibraryRefusesWith1031AndIsNotKeptLoaded) {
    files.files["/images/a.rad"] = UsbEflashImage(10);
    for (const bool missingEntry : {false, true}) {
        SCOPED_TRACE(missingEntry);
        libraries.loadable = missingEntry;
        libraries.hasOpenFile = !missingEntry;
        seam.events.clear();
        const UpgradeRun run = Run();
        EXPECT_EQ(run.refusal, Refusal::LibraryUnusable);
        EXPECT_EQ(seam.events.back(), "refuse 1031");
        EXPECT_EQ(files.wholeLoads, 0);
        ExpectNothingKept();
    }
}

TEST_F(UpgradeCommandTest, InvalidPipeHandleRefusesWith1021InsteadOfSending) {
    files.files["/images/a.rad"] = UsbEflashImage(10);
    FakeLibraries::openFileHandle = os::kInvalidHandle;
    const UpgradeRun run = Run();
    EXPECT_EQ(run.refusal, Refusal::DeviceUnreachable);
    EXPECT_EQ(seam.events.back(), "refuse 1021");
    EXPECT_EQ(files.wholeLoads, 0);
    EXPECT_EQ(pipe.closes(), 0);
    ExpectNothingKept();
}

// Once the pipe is open, every refusal closes it unwritten before it is
// reported, and no transfer starts. A file that is no longer the one that
// was checked (replaced or rewritten while the user was asked) is one.
TEST_F(UpgradeCommandTest, LoadFailuresAfterThePipeIsOpenCloseItAndSaySo) {
    struct Case {
        const char* name;
        os::FileStatus status;
        std::optional<std::string> changedTo;
        const char* key;
        Refusal refusal;
    };
    std::string shrunk = UsbEflashImage(10);
    shrunk.resize(1027);
    std::string uart = ImageBytes().Port(0).Flash(1).AsString();
    uart.resize(1024 + 10, '\x5A');
    std::string otherKind = ImageBytes().Port(1).Flash(3).AsString();
    otherKind.resize(1024 + 10, '\x5A');
    const std::vector<Case> cases = {
        {"too large", os::FileStatus::TooLarge, std::nullopt, "1022", Refusal::TooLarge},
        {"gone", os::FileStatus::CannotOpen, std::nullopt, "1020", Refusal::CannotLoad},
        {"read error", os::FileStatus::ReadError, std::nullopt, "1020", Refusal::CannotLoad},
        {"no memory", os::FileStatus::NoMemory, std::nullopt, "1020", Refusal::CannotLoad},
        {"shrunk below 1028", os::FileStatus::Ok, shrunk, "1020", Refusal::CannotLoad},
        {"replaced by a UART image", os::FileStatus::Ok, uart, "1020", Refusal::CannotLoad},
        {"replaced by another kind", os::FileStatus::Ok, otherKind, "1020", Refusal::CannotLoad},
        {"grown", os::FileStatus::Ok, UsbEflashImage(11), "1020", Refusal::CannotLoad},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFiles localFiles;
        localFiles.files["/images/a.rad"] = UsbEflashImage(10);
        localFiles.loadStatus = c.status;
        localFiles.contentAtLoad = c.changedTo;
        FakeClock localClock;
        FakePipe localPipe{localClock};
        FakeLibraries localLibraries;
        FakeSeam localSeam{localLibraries};
        const UpgradeRun run = UpgradeCommand(localFiles, localLibraries, localPipe).Run(localSeam);

        EXPECT_EQ(run.refusal, c.refusal);
        EXPECT_EQ(localSeam.events.back(), std::string("refuse ") + c.key);
        EXPECT_EQ(localPipe.closes(), 1);
        EXPECT_TRUE(localPipe.calls().empty());
        EXPECT_EQ(localLibraries.loads, localLibraries.unloads);
        EXPECT_FALSE(localSeam.started.has_value());
    }
}

TEST_F(UpgradeCommandTest, TransferThatCannotStartGivesEverythingBackAndDoesNotRearm) {
    files.files["/images/a.rad"] = UsbEflashImage(10);
    seam.startWorks = false;
    const UpgradeRun run = Run();
    EXPECT_EQ(run.refusal, Refusal::CannotStart);
    EXPECT_EQ(seam.events, (Events{"choose", "store /images/a.rad", "kind 1027", "present?", "confirm",
                                   "start", "refuse 1032"}));
    EXPECT_EQ(pipe.closes(), 1);
    ExpectNothingKept();
}

}  // namespace
}  // namespace tarnwick
