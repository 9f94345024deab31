#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "text/text_keys.h"
#include "tests/cli/cli_run.h"
#include "tests/support/bin_dir.h"
#include "tests/support/temp_dir.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using test::CliResult;
using test::JsonField;
using test::RunCli;

// The JSON line of one key in the texts array.
std::string EntryOf(const std::string& out, std::string_view section, std::string_view key) {
    const std::string marker =
        "{\"section\": \"" + std::string(section) + "\", \"key\": \"" + std::string(key) + "\"";
    const std::size_t start = out.find(marker);
    if (start == std::string::npos) {
        return {};
    }
    return out.substr(start, out.find('\n', start) - start);
}

bool IsValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                                                 : lead >= 0xF0 && lead < 0xF5  ? 4
                                                                                : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        for (std::size_t j = 1; j < length; ++j) {
            if ((static_cast<unsigned char>(text[i + j]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

class TextsCommandTest : public ::testing::Test {
protected:
    std::string WriteIni(const std::string& text, const std::string& name = "lang.ini") {
        const std::string path = dir.File(name);
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    test::TempDir dir;
};

TEST_F(TextsCommandTest, JsonListsEveryKeyWithTheTextTheToolWouldShow) {
    const std::string ini = WriteIni(
        "\xEF\xBB\xBF[TITLE]\r\n"
        "100 = \"  Quoted Title  \"\r\n"
        "[message]\r\n"
        "1020=\r\n"
        "1029=Dated \"image\"\r\n"
        "1032=last line without an end");
    const CliResult result = RunCli({"texts", "--ini", ini, "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out.front(), '[');
    for (const TextKey& key : kTextKeys) {
        EXPECT_FALSE(EntryOf(result.out, key.section, key.key).empty()) << key.key;
    }
    EXPECT_EQ(JsonField(EntryOf(result.out, "title", "100"), "text"), "\"  Quoted Title  \"");
    EXPECT_EQ(JsonField(EntryOf(result.out, "message", "1020"), "present"), "true");
    EXPECT_EQ(JsonField(EntryOf(result.out, "message", "1020"), "text"), "\"\"");
    EXPECT_EQ(JsonField(EntryOf(result.out, "message", "1029"), "text"), "\"Dated \\\"image\\\"\"");
    EXPECT_EQ(JsonField(EntryOf(result.out, "message", "1032"), "text"), "\"last line without an end\"");
    EXPECT_EQ(JsonField(EntryOf(result.out, "message", "1021"), "present"), "false");
    EXPECT_EQ(JsonField(EntryOf(result.out, "control", "1003"), "present"), "false");
}

TEST_F(TextsCommandTest, AnyBytesGiveValidJson) {
    std::string garbage = "[message]\n1020=a\x01\x1f\x7f\t\"\\b\xFF\xC3\xA9\xC3\n1021=\xE2\x82\n";
    for (int i = 0; i < 4096; ++i) {
        garbage += static_cast<char>((i * 37) % 251);
    }
    const CliResult result = RunCli({"texts", "--ini", WriteIni(garbage), "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(IsValidUtf8(result.out));
    for (const char c : result.out) {
        EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 && c != '\n') << int{c};
    }
    EXPECT_EQ(JsonField(EntryOf(result.out, "message", "1020"), "text"),
              "\"a\\u0001\\u001f\\u007f\\t\\\"\\\\b\\u00ff\xC3\xA9\\u00c3\"");
    EXPECT_EQ(JsonField(EntryOf(result.out, "message", "1021"), "text"), "\"\\u00e2\\u0082\"");
}

TEST_F(TextsCommandTest, TextOutputMarksMissingKeysAndShowsBlanks) {
    const CliResult result = RunCli({"texts", "--ini", WriteIni("[message]\n1024=' padded '\n")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("\" padded \""), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("15 keys, 14 missing"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("MISSING"), std::string::npos);
}

TEST_F(TextsCommandTest, AnUnreadableFileMeansEveryTextIsMissing) {
    for (const std::string& path : {dir.File("none.ini"), dir.path()}) {
        const CliResult result = RunCli({"texts", "--ini", path, "--json"});
        EXPECT_EQ(result.exitCode, 66) << path;
        EXPECT_EQ(result.out.find("\"present\": true"), std::string::npos);
        EXPECT_NE(result.err.find("cannot read"), std::string::npos) << result.err;
    }
}

TEST_F(TextsCommandTest, TheDefaultFileIsTheOneBesideTheProgram) {
    fs::create_directory(dir.File("bin"));
    fs::create_directory(dir.File("work"));
    const std::string program = dir.File("bin/tarnwick-cli");
    fs::copy_file(test::BinPath("tarnwick-cli"), program);
    WriteIni("[title]\n100=beside the program\n", "bin/lang.ini");
    WriteIni("[title]\n100=in the current directory\n", "work/lang.ini");

    const CliResult result = RunCli({"texts", "--json"}, dir.File("work"), program);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(JsonField(EntryOf(result.out, "title", "100"), "text"), "\"beside the program\"");

    fs::remove(dir.File("bin/lang.ini"));
    const CliResult missing = RunCli({"texts", "--json"}, dir.File("work"), program);
    EXPECT_EQ(missing.exitCode, 66);
    EXPECT_EQ(JsonField(EntryOf(missing.out, "title", "100"), "present"), "false");
}

}  // namespace
}  // namespace tarnwick
