// The Windows tarnwick-cli under Wine and the Linux one on the same files:
// info and texts must say the same, though the system beneath opens, reads
// and parses the files its own way.

#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "tests/cli/cli_run.h"
#include "tests/support/temp_dir.h"
#include "tests/windows/wine_programs.h"

namespace tarnwick {
namespace {

// The Windows program's standard output with Windows line ends made plain.
test::CliResult RunWindowsCli(const std::vector<std::string>& arguments, const std::string& workDir) {
    test::CliResult result = test::RunCli(arguments, workDir, test::WindowsCli(), {test::WineRun()});
    std::erase(result.out, '\r');
    return result;
}

// The one member that must differ: each program names the file its way.
std::string WithoutPath(const std::string& json) {
    static const std::regex kPath(R"(^\{"path": "(?:[^"\\]|\\.)*", )");
    return std::regex_replace(json, kPath, "{", std::regex_constants::format_first_only);
}

struct InfoCase {
    const char* name;
    std::vector<std::string> makeImage;  // vantrel-sim make-image options; none: no file at all
};

std::ostream& operator<<(std::ostream& out, const InfoCase& c) { return out << c.name; }

class WindowsInfo : public ::testing::TestWithParam<InfoCase> {};

TEST_P(WindowsInfo, JsonIsTheLinuxCliJsonButForThePath) {
    test::TempDir dir;
    const std::string image = dir.File("image.rad");
    if (!GetParam().makeImage.empty()) {
        ASSERT_TRUE(test::MakeImage(image, GetParam().makeImage));
    }
    const test::CliResult onLinux = test::RunCli({"info", image, "--json"});
    ASSERT_NE(onLinux.out.find("\"verdict\""), std::string::npos) << onLinux.out << onLinux.err;
    const test::CliResult onWindows = RunWindowsCli({"info", test::WindowsPath(image), "--json"}, dir.path());
    EXPECT_EQ(onWindows.exitCode, onLinux.exitCode) << onWindows.err;
    EXPECT_EQ(WithoutPath(onWindows.out), WithoutPath(onLinux.out));
}

INSTANTIATE_TEST_SUITE_P(
    Images, WindowsInfo,
    ::testing::Values(InfoCase{"SendableEflash", {"--payload", "5000", "--seed", "7"}},
                      InfoCase{"DatedSerial", {"--flash", "serial", "--date", "17/3/24", "--payload", "3000"}},
                      InfoCase{"Nand", {"--flash", "nand", "--start", "65552", "--payload", "70000"}},
                      InfoCase{"Uart", {"--port", "uart"}},
                      InfoCase{"NoSignature", {"--no-signature"}},
                      InfoCase{"Short", {"--short"}},
                      InfoCase{"Missing", {}}),
    [](const ::testing::TestParamInfo<InfoCase>& info) { return std::string(info.param.name); });

struct TextsCase {
    const char* name;
    const char* language;  // a shipped lang/<code>/lang.ini, or
    const char* written;   // the text of one written for the test
};

std::ostream& operator<<(std::ostream& out, const TextsCase& c) { return out << c.name; }

class WindowsTexts : public ::testing::TestWithParam<TextsCase> {};

TEST_P(WindowsTexts, JsonIsTheLinuxCliJson) {
    test::TempDir dir;
    std::string ini = dir.File("lang.ini");
    if (GetParam().language != nullptr) {
        ini = std::string(TARNWICK_SOURCE_DIR) + "/lang/" + GetParam().language + "/lang.ini";
    } else {
        std::ofstream(ini, std::ios::binary) << GetParam().written;
    }
    const test::CliResult onLinux = test::RunCli({"texts", "--ini", ini, "--json"});
    ASSERT_NE(onLinux.out.find("\"section\""), std::string::npos) << onLinux.out << onLinux.err;
    const test::CliResult onWindows = RunWindowsCli({"texts", "--ini", test::WindowsPath(ini), "--json"}, dir.path());
    EXPECT_EQ(onWindows.exitCode, onLinux.exitCode) << onWindows.err;
    EXPECT_EQ(onWindows.out, onLinux.out);
}

// Quotes around a value (kept when unbalanced), blanks around keys, values
// and section names, an empty value, a section given twice, Windows line
// ends, and most keys missing.
constexpr const char* kOddIni =
    "; a comment\r\n"
    "[title]\r\n"
    "100 = \"Quoted Title\"  \r\n"
    "[control]\r\n"
    "1003=  'single'  \r\n"
    "1001=\r\n"
    "  [ message ]\r\n"
    "1025=\"unbalanced\r\n"
    "1026 =   spaced   out   \r\n"
    "\r\n"
    "[message]\r\n"
    "1027=second section\r\n";

INSTANTIATE_TEST_SUITE_P(
    Files, WindowsTexts,
    ::testing::Values(TextsCase{"English", "en", nullptr}, TextsCase{"German", "de", nullptr},
                      TextsCase{"Korean", "ko", nullptr}, TextsCase{"QuotesBlanksAndMissingKeys", nullptr, kOddIni}),
    [](const ::testing::TestParamInfo<TextsCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarnwick
