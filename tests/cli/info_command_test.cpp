#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/profile_rules.h"
#include "text/text_lookup.h"
#include "support/sha256.h"
#include "tests/cli/cli_run.h"
#include "tests/image/image_bytes.h"
#include "tests/support/bin_dir.h"
#include "tests/support/temp_dir.h"

namespace tarnwick {
namespace {

using os::ReadProfileString;

using test::CliResult;
using test::JsonField;
using test::RunCli;
using testing::ImageBytes;

constexpr int kOk = 0;
constexpr int kUsage = 64;
constexpr int kNotAnImage = 65;
constexpr int kCannotRead = 66;

class InfoCommandTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = dir.File(name);
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    std::string WriteImage(const std::string& name, const ImageBytes& header, std::size_t payloadBeyondFour = 0) {
        std::string bytes = header.AsString();
        for (std::size_t i = 0; i < payloadBeyondFour; ++i) {
            bytes += static_cast<char>(i * 13 + 7);
        }
        return Write(name, bytes);
    }
    CliResult Info(const std::string& path) { return RunCli({"info", path}); }
    CliResult InfoJson(const std::string& path) { return RunCli({"info", path, "--json"}); }

    test::TempDir dir;
};

TEST_F(InfoCommandTest, ASendableImageShowsItsHeaderAndTheHashOfWhatIsSent) {
    const ImageBytes header = ImageBytes()
                                  .Port(1)
                                  .Flash(3)
                                  .StartAddressBytes(0x10, 0x00, 0x01, 0x00)
                                  .Set32(7, 70000)
                                  .Set32(11, 33)
                                  .Set(15, 0xAB)
                                  .Set(500, 0xCD);
    const std::string path = WriteImage("nand.rad", header, 5000);
    const CliResult result = Info(path);
    EXPECT_EQ(result.exitCode, kOk) << result.err;

    std::string file = header.AsString();
    for (std::size_t i = 0; i < 5000; ++i) {
        file += static_cast<char>(i * 13 + 7);
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(file.data());
    Sha256 sent;
    sent.Update({bytes, 20});
    sent.Update({bytes + 1024, file.size() - 1024});
    const std::string sentHash = sent.FinishHex();

    EXPECT_NE(result.out.find("nand"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("0x00010010"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("byte address 0x02002000"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("70000 bytes (the file has 6028)"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("5004 bytes"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("bytes 0-19 then 1024-end (as sent): " + sentHash), std::string::npos)
        << result.out;
    // The whole file's digest, as sha256sum and --sha256 give it, comes first.
    Sha256 whole;
    whole.Update({bytes, file.size()});
    const std::size_t wholeAt = result.out.find("whole file (as sha256sum prints it): " + whole.FinishHex());
    EXPECT_LT(wholeAt, result.out.find("(as sent)")) << result.out;
    EXPECT_NE(result.out.find("sendable"), std::string::npos);
}

TEST_F(InfoCommandTest, ExactlyTheHeaderReadSizeIsSendableWithAFourBytePayload) {
    const ImageBytes header = ImageBytes().Port(0x80).Flash(0).Date(1, 2, 3).Set(1025, 4);
    const CliResult result = InfoJson(WriteImage("min.rad", header));
    EXPECT_EQ(result.exitCode, kOk) << result.err;
    EXPECT_EQ(JsonField(result.out, "verdict"), "\"sendable\"");
    EXPECT_EQ(JsonField(result.out, "payload_size"), "4");

    const std::uint8_t sentBytes[] = {'$', 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 4, 2, 3};
    Sha256 expected;
    expected.Update(sentBytes);
    EXPECT_EQ(JsonField(result.out, "sha256_sent"), "\"" + expected.FinishHex() + "\"");
}

TEST_F(InfoCommandTest, ShortFilesAreRefusedWhateverTheirFirstByte) {
    const std::string valid = ImageBytes().Port(1).Flash(1).AsString();
    for (const std::size_t length : {std::size_t{0}, std::size_t{1024}, std::size_t{1027}}) {
        const CliResult result = InfoJson(Write("short.rad", valid.substr(0, length)));
        EXPECT_EQ(result.exitCode, kNotAnImage) << length;
        EXPECT_EQ(JsonField(result.out, "verdict"), "\"too-short\"") << length;
        EXPECT_EQ(JsonField(result.out, "refusal_key"), "\"1023\"");
        EXPECT_EQ(JsonField(result.out, "file_size"), std::to_string(length));
        EXPECT_EQ(JsonField(result.out, "header"), "null");
    }
    const CliResult plain = Info(Write("empty.rad", ""));
    EXPECT_EQ(plain.exitCode, kNotAnImage);
    EXPECT_NE(plain.err.find("too short"), std::string::npos) << plain.err;
}

TEST_F(InfoCommandTest, NoSignatureAndUartAreNotSendable) {
    const CliResult hash = InfoJson(WriteImage("hash.rad", ImageBytes().Signature('#').Port(1)));
    EXPECT_EQ(hash.exitCode, kNotAnImage);
    EXPECT_EQ(JsonField(hash.out, "verdict"), "\"no-signature\"");
    EXPECT_EQ(JsonField(hash.out, "refusal_key"), "\"1022\"");

    const CliResult uart = InfoJson(WriteImage("uart.rad", ImageBytes().Port(0).Flash(1)));
    EXPECT_EQ(uart.exitCode, kNotAnImage);
    EXPECT_EQ(JsonField(uart.out, "verdict"), "\"uart-image\"");
    EXPECT_EQ(JsonField(uart.out, "status_key"), "\"1027\"");
    EXPECT_EQ(JsonField(uart.out, "sha256_sent"), "null");

    const CliResult text = Info(WriteImage("uart2.rad", ImageBytes().Port(0).Flash(1)));
    EXPECT_NE(text.out.find("UART"), std::string::npos) << text.out;
    EXPECT_NE(text.err.find("USB"), std::string::npos) << text.err;
}

TEST_F(InfoCommandTest, JsonHoldsTheDecodedFields) {
    const ImageBytes header = ImageBytes()
                                  .Port(0xFF)
                                  .Flash(2)
                                  .StartAddressBytes(0x00, 0x00, 0x01, 0x00)
                                  .Set32(7, 0xFFFFFFFF)
                                  .Set32(11, 12)
                                  .Date(5, 7, 11);
    const CliResult result = InfoJson(WriteImage("dated.rad", header, 100));
    ASSERT_EQ(result.exitCode, kOk) << result.err;
    const std::string fields = JsonField(result.out, "header");
    EXPECT_EQ(JsonField(fields, "port"), "255");
    EXPECT_EQ(JsonField(fields, "port_kind"), "\"usb\"");
    EXPECT_EQ(JsonField(fields, "flash_type"), "2");
    EXPECT_EQ(JsonField(fields, "flash_type_name"), "\"serial\"");
    EXPECT_EQ(JsonField(fields, "start_address"), "65536");
    EXPECT_EQ(JsonField(fields, "start_byte_address"), "65536");
    EXPECT_EQ(JsonField(fields, "file_size"), "-1");
    EXPECT_EQ(JsonField(fields, "packet_count"), "12");
    EXPECT_EQ(JsonField(fields, "dated"), "true");
    EXPECT_EQ(JsonField(result.out, "file_size"), "1128");
    EXPECT_EQ(JsonField(result.out, "date"), "\"5/7/2011\"");
    EXPECT_EQ(JsonField(result.out, "status_key"), "\"1029\"");

    // The image line is the text the window would show, from the lang.ini
    // beside the program.
    std::ifstream ini(test::BinPath("lang.ini"), std::ios::binary);
    const std::string iniText((std::istreambuf_iterator<char>(ini)), std::istreambuf_iterator<char>());
    const std::string dated = ReadProfileString(iniText, "message", "1029");
    ASSERT_FALSE(dated.empty());
    EXPECT_EQ(JsonField(result.out, "status_text"), "\"" + dated + " 5/7/2011\"");
}

TEST_F(InfoCommandTest, WhatCannotBeOpenedIsCannotRead) {
    for (const std::string& path : {dir.path(), dir.File("missing.rad")}) {
        const CliResult result = InfoJson(path);
        EXPECT_EQ(result.exitCode, kCannotRead) << path;
        EXPECT_EQ(JsonField(result.out, "verdict"), "\"cannot-open\"");
        EXPECT_EQ(JsonField(result.out, "refusal_key"), "\"1020\"");
        EXPECT_EQ(JsonField(result.out, "file_size"), "null");
    }
    const CliResult text = Info(dir.File("missing.rad"));
    EXPECT_EQ(text.exitCode, kCannotRead);
    EXPECT_NE(text.err.find("cannot be opened"), std::string::npos) << text.err;
}

TEST_F(InfoCommandTest, AFifoIsRefusedInsteadOfWaitedOn) {
    const std::string fifo = dir.File("pipe.rad");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(Info(fifo).exitCode, kCannotRead);
}

TEST_F(InfoCommandTest, AFileWithoutReadPermissionCannotBeRead) {
    const std::string path = WriteImage("secret.rad", ImageBytes().Port(1).Flash(1));
    ASSERT_EQ(chmod(path.c_str(), 0), 0);
    std::vector<std::string> wrapper;
    if (geteuid() == 0) {
        // Root reads any file; take away the capabilities that let it.
        if (access("/usr/bin/setpriv", X_OK) != 0) {
            GTEST_SKIP() << "running as root without setpriv: permissions cannot be tested";
        }
        wrapper = {"/usr/bin/setpriv", "--bounding-set", "-dac_override,-dac_read_search"};
    }
    const CliResult result = RunCli({"info", path}, "/", {}, wrapper);
    EXPECT_EQ(result.exitCode, kCannotRead) << result.out << result.err;
}

TEST_F(InfoCommandTest, FourGibibytesOrMoreIsTooLarge) {
    const std::string path = WriteImage("huge.rad", ImageBytes().Port(1).Flash(1));
    {
        const int fd = open(path.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        const bool grown = ftruncate(fd, off_t{1} << 32) == 0;
        close(fd);
        if (!grown) {
            GTEST_SKIP() << "this file system cannot hold a sparse 4 GiB file";
        }
    }
    const CliResult result = InfoJson(path);
    EXPECT_EQ(result.exitCode, kNotAnImage);
    EXPECT_EQ(JsonField(result.out, "verdict"), "\"too-large\"");
    EXPECT_EQ(JsonField(result.out, "file_size"), "4294967296");
    EXPECT_EQ(JsonField(result.out, "refusal_key"), "\"1022\"");
}

TEST_F(InfoCommandTest, UsageErrors) {
    EXPECT_EQ(RunCli({"info"}).exitCode, kUsage);
    EXPECT_EQ(RunCli({"info", "a.rad", "--bogus"}).exitCode, kUsage);
    EXPECT_EQ(RunCli({}).exitCode, kUsage);
    EXPECT_EQ(RunCli({"info", "--help"}).exitCode, kOk);
}

}  // namespace
}  // namespace tarnwick
