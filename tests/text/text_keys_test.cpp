#include "text/text_keys.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "platform/profile_rules.h"
#include "text/text_lookup.h"

namespace tarnwick {
namespace {

using os::ReadProfileString;

TEST(TextKeys, EveryKeyIsListedOnceInAKnownSection) {
    std::set<std::pair<std::string_view, std::string_view>> seen;
    for (const TextKey& text : kTextKeys) {
        EXPECT_TRUE(text.section == kTitleSection || text.section == kControlSection ||
                    text.section == kMessageSection)
            << text.section;
        EXPECT_TRUE(seen.emplace(text.section, text.key).second) << text.section << "/" << text.key;
        EXPECT_FALSE(text.shownAs.empty());
    }
    // "1026" is never read.
    EXPECT_FALSE(seen.contains({kMessageSection, "1026"}));
    EXPECT_TRUE(seen.contains({kMessageSection, "1032"}));
}

TEST(TextKeys, TheEnglishFileBesideTheProgramsDefinesEveryText) {
    std::ifstream file(TARNWICK_BIN_DIR "/lang.ini", std::ios::binary);
    ASSERT_TRUE(file) << "lang.ini was not laid beside the programs";
    std::stringstream text;
    text << file.rdbuf();
    for (const TextKey& key : kTextKeys) {
        EXPECT_FALSE(ReadProfileString(text.str(), key.section, key.key).empty())
            << key.section << "/" << key.key;
    }
}

}  // namespace
}  // namespace tarnwick
