#include "text/text_lookup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/temp_dir.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

class FakeProcess final : public os::Process {
public:
    std::string path;
    std::string ExecutablePath() override { return path; }
};

void WriteFile(const fs::path& path, std::string_view text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

// An executable's folder with a lang.ini, and a current directory elsewhere
// that holds a decoy lang.ini.
class TextLookupTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::path(folder_.path());
        fs::create_directories(root_ / "bin");
        fs::create_directories(root_ / "elsewhere");
        WriteFile(root_ / "elsewhere" / "lang.ini", "[message]\n1020=from the current directory\n");
        previous_ = fs::current_path();
        fs::current_path(root_ / "elsewhere");
        process.path = (root_ / "bin" / "tarnwick").string();
    }
    void TearDown() override { fs::current_path(previous_); }
    fs::path BesideIni() const { return root_ / "bin" / "lang.ini"; }

    FakeProcess process;
    TextLookup lookup{process, os::RealSystem().profiles};

private:
    test::TempDir folder_;
    fs::path root_;
    fs::path previous_;
};

TEST_F(TextLookupTest, ReadsTheFileBesideTheExecutableNeverTheCurrentDirectory) {
    WriteFile(BesideIni(), "[message]\n1020=beside the executable\n");
    EXPECT_EQ(lookup.IniPath(), BesideIni().string());
    EXPECT_EQ(lookup.Lookup("message", "1020"), "beside the executable");

    fs::remove(BesideIni());
    EXPECT_EQ(lookup.Lookup("message", "1020"), "");
}

TEST_F(TextLookupTest, ReadsTheFileAfreshAtEveryLookup) {
    WriteFile(BesideIni(), "[message]\n1024=Connected\n");
    EXPECT_EQ(lookup.Lookup("message", "1024"), "Connected");
    WriteFile(BesideIni(), "[message]\n1024=Verbunden\n");
    EXPECT_EQ(lookup.Lookup("message", "1024"), "Verbunden");
}

TEST_F(TextLookupTest, UnusableExecutablePathsMeanAMissingFile) {
    process.path = "";
    EXPECT_EQ(lookup.Lookup("message", "1020"), "");
    // A bare name would put lang.ini in the current directory.
    process.path = "tarnwick";
    EXPECT_EQ(lookup.IniPath(), "");
    EXPECT_EQ(lookup.Lookup("message", "1020"), "");
}

TEST_F(TextLookupTest, AFolderNamedLikeTheFileGivesEmptyTexts) {
    fs::create_directory(BesideIni());
    EXPECT_EQ(lookup.Lookup("message", "1020"), "");
}

TEST_F(TextLookupTest, AHugeFileStillGivesBoundedTexts) {
    WriteFile(BesideIni(), "[message]\n1020=" + std::string(100'000, 'x') + "\n1021=short\n");
    EXPECT_EQ(lookup.Lookup("message", "1020"), std::string(259, 'x'));
    EXPECT_EQ(lookup.Lookup("message", "1021"), "short");
}

TEST(LangIniPathBeside, TakesTheExecutablesFolder) {
    EXPECT_EQ(LangIniPathBeside("/opt/tarnwick/bin/tarnwick"), "/opt/tarnwick/bin/lang.ini");
    EXPECT_EQ(LangIniPathBeside("/tarnwick"), "/lang.ini");
    EXPECT_EQ(LangIniPathBeside("C:\\Tools\\Tarnwick.exe"), "C:\\Tools\\lang.ini");
}

TEST(LangIniPathBeside, APathThatDoesNotFit259CharactersIsMissing) {
    // Folder plus "lang.ini" of exactly 259 characters fits; one more does not.
    const std::string folder251 = "/" + std::string(249, 'd') + "/";
    ASSERT_EQ(folder251.size(), 251u);
    EXPECT_EQ(LangIniPathBeside(folder251 + "tarnwick").size(), 259u);
    EXPECT_EQ(LangIniPathBeside("/x" + folder251 + "tarnwick"), "");
    // A long file name does not matter, only the folder does.
    EXPECT_EQ(LangIniPathBeside("/bin/" + std::string(400, 'n')), "/bin/lang.ini");
}

}  // namespace
}  // namespace tarnwick
