#include <gtest/gtest.h>

#include <random>

#include "platform/profile_rules.h"
#include "text/text_lookup.h"

namespace tarnwick {
namespace {

using os::ReadProfileString;
using os::FindProfileString;

// The text as a UTF-16 file with its byte-order mark.
std::string Utf16(std::u16string_view text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

std::string Message(std::string_view ini, std::string_view key = "1020") {
    return ReadProfileString(ini, "message", key);
}

TEST(ProfileReader, NamesMatchWithoutRegardToCase) {
    EXPECT_EQ(ReadProfileString("[MESSAGE]\n1020=a\n", "message", "1020"), "a");
    EXPECT_EQ(ReadProfileString("[Message]\n1020=a\n", "message", "1020"), "a");
    EXPECT_EQ(ReadProfileString("[message]\n1020=a\n", "MeSsAgE", "1020"), "a");
    EXPECT_EQ(ReadProfileString("[s]\nKeyName=v\n", "S", "kEYnAME"), "v");
    EXPECT_EQ(ReadProfileString("[messages]\n1020=a\n", "message", "1020"), "");
    EXPECT_EQ(ReadProfileString("[message]\n10200=a\n", "message", "1020"), "");
}

TEST(ProfileReader, BlanksAroundNamesEqualsAndValueAreDropped) {
    EXPECT_EQ(Message("[message]\n  1020  =   two words  \n"), "two words");
    EXPECT_EQ(Message("[message]\n\t1020\t=\tx\t\n"), "x");
    EXPECT_EQ(Message("  [ message ]  \n1020=x\n"), "x");
    EXPECT_EQ(Message("[message]\n1020=  inner   blanks stay  \n"), "inner   blanks stay");
}

TEST(ProfileReader, ValueIsEverythingAfterTheFirstEquals) {
    EXPECT_EQ(Message("[message]\n1020=a=b = c\n"), "a=b = c");
    EXPECT_EQ(Message("[message]\n1020==\n"), "=");
    EXPECT_EQ(Message("[message]\n1020=; not a comment\n"), "; not a comment");
}

TEST(ProfileReader, OnePairOfMatchingQuotesIsRemoved) {
    EXPECT_EQ(Message("[message]\n1020=\"quoted\"\n"), "quoted");
    EXPECT_EQ(Message("[message]\n1020='single'\n"), "single");
    EXPECT_EQ(Message("[message]\n1020=  \"  keeps blanks  \"  \n"), "  keeps blanks  ");
    EXPECT_EQ(Message("[message]\n1020=\"\"twice\"\"\n"), "\"twice\"");
    EXPECT_EQ(Message("[message]\n1020=\"mixed'\n"), "\"mixed'");
    EXPECT_EQ(Message("[message]\n1020=\"open\n"), "\"open");
    EXPECT_EQ(Message("[message]\n1020=\"\n"), "\"");
    EXPECT_EQ(Message("[message]\n1020=\"\"\n"), "");
    EXPECT_EQ(Message("[message]\n1020=say \"hi\"\n"), "say \"hi\"");
}

TEST(ProfileReader, LineEndsOfEveryKind) {
    const std::string crlf = "[title]\r\n100=T\r\n[message]\r\n1020=first\r\n1021=second\r\n";
    EXPECT_EQ(Message(crlf), "first");
    EXPECT_EQ(Message(crlf, "1021"), "second");
    EXPECT_EQ(Message("[message]\r1020=cr\r1021=only\r", "1021"), "only");
    EXPECT_EQ(Message("[message]\n1020=no line end"), "no line end");
    EXPECT_EQ(Message("[message]\r\n1020=no line end"), "no line end");
    EXPECT_EQ(Message("[message]\n\n\n1020=after blank lines\n\n"), "after blank lines");
}

TEST(ProfileReader, ByteOrderMarks) {
    EXPECT_EQ(ReadProfileString("\xEF\xBB\xBF[title]\r\n100=T\r\n", "title", "100"), "T");
    EXPECT_EQ(Message("\xEF\xBB\xBF[message]\n1020=caf\xC3\xA9\n"), "caf\xC3\xA9");

    EXPECT_EQ(Message(Utf16(u"[message]\n1020=\u00E9\u20AC\n", false)), "\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(Message(Utf16(u"[message]\r\n1020=\u00E9\u20AC", true)), "\xC3\xA9\xE2\x82\xAC");
}

TEST(ProfileReader, Utf16SurrogatesPairUpAndStrayHalvesAreReplaced) {
    std::u16string text = u"[message]\n1020=\U0001F600";
    text += char16_t{0xD800};
    text += u"x";
    std::string bytes = Utf16(text, false);
    bytes += '\x01';  // half of a code unit
    EXPECT_EQ(Message(bytes), "\xF0\x9F\x98\x80\xEF\xBF\xBDx\xEF\xBF\xBD");
}

TEST(ProfileReader, CommentsAndLinesWithoutEqualsDefineNothing) {
    const std::string ini =
        "[message]\n"
        "; 1020=commented out\n"
        ";1021=commented out\n"
        "1022\n"
        "just words\n"
        "1023=after the noise\n";
    EXPECT_EQ(Message(ini, "1020"), "");
    EXPECT_EQ(Message(ini, "1021"), "");
    EXPECT_EQ(Message(ini, "1022"), "");
    EXPECT_EQ(Message(ini, "1023"), "after the noise");
}

TEST(ProfileReader, KeysBelongToTheirOwnSectionOnly) {
    const std::string ini =
        "1020=before any section\n"
        "[control]\n"
        "1020=control text\n"
        "[message]\n"
        "1021=message text\n"
        "[message\n"
        "1022=under a broken header\n";
    EXPECT_EQ(Message(ini, "1020"), "");
    EXPECT_EQ(ReadProfileString(ini, "control", "1020"), "control text");
    EXPECT_EQ(Message(ini, "1021"), "message text");
    // A line without the closing bracket opens no section.
    EXPECT_EQ(Message(ini, "1022"), "under a broken header");
    EXPECT_EQ(ReadProfileString(ini, "missing", "1020"), "");
}

TEST(ProfileReader, SectionLineMayCarryTextBehindTheBracket) {
    EXPECT_EQ(Message("[message] ; texts for boxes\n1020=x\n"), "x");
}

TEST(ProfileReader, TheFirstSectionAndTheFirstKeyOfANameWin) {
    const std::string ini =
        "[message]\n"
        "1020=first\n"
        "1020=second\n"
        "[title]\n"
        "100=T\n"
        "[MESSAGE]\n"
        "1020=third\n"
        "1021=only in the repeated section\n";
    EXPECT_EQ(Message(ini, "1020"), "first");
    EXPECT_EQ(Message(ini, "1021"), "");
    EXPECT_EQ(ReadProfileString(ini, "title", "100"), "T");
}

TEST(ProfileReader, EmptyValuesAreEmpty) {
    EXPECT_EQ(Message("[message]\n1020=\n1021=x\n"), "");
    EXPECT_EQ(Message("[message]\n1020=   \n"), "");
    EXPECT_EQ(Message(""), "");
    EXPECT_EQ(ReadProfileString("[message]\n=x\n", "message", ""), "x");
}

TEST(ProfileReader, FindTellsAMissingKeyFromAnEmptyValue) {
    const std::string ini = "[message]\n1020=\n1021\n";
    EXPECT_EQ(FindProfileString(ini, "message", "1020"), std::optional<std::string>(""));
    EXPECT_EQ(FindProfileString(ini, "message", "1021"), std::nullopt);
    EXPECT_EQ(FindProfileString(ini, "message", "1022"), std::nullopt);
    EXPECT_EQ(FindProfileString(ini, "title", "1020"), std::nullopt);
}

TEST(ProfileReader, ValuesAreCutAt259Characters) {
    const std::string long300(300, 'v');
    EXPECT_EQ(Message("[message]\n1020=" + long300 + "\n"), std::string(259, 'v'));
    EXPECT_EQ(Message("[message]\n1020=\"" + long300 + "\"\n"), std::string(259, 'v'));
    const std::string exact(259, 'e');
    EXPECT_EQ(Message("[message]\n1020=" + exact), exact);
}

TEST(ProfileReader, TheCutNeverSplitsAUtf8Character) {
    const std::string a258(258, 'a');
    // "é" is two bytes and would straddle the limit.
    EXPECT_EQ(Message("[message]\n1020=" + a258 + "\xC3\xA9tail\n"), a258);
    const std::string a257(257, 'a');
    // "€" is three bytes: two of them would fit.
    EXPECT_EQ(Message("[message]\n1020=" + a257 + "\xE2\x82\xACtail\n"), a257);
    // Ending exactly on a character boundary keeps the character.
    EXPECT_EQ(Message("[message]\n1020=" + a257 + "\xC3\xA9tail\n"), a257 + "\xC3\xA9");
    // Bytes that are no UTF-8 at all are cut where they lie.
    const std::string garbage(300, '\x80');
    EXPECT_EQ(Message("[message]\n1020=" + garbage), std::string(259, '\x80'));
}

TEST(ProfileReader, ATerminatorEndsTheValue) {
    EXPECT_EQ(Message(std::string("[message]\n1020=ab\0cd\n", 20)), "ab");
}

TEST(ProfileReader, HugeLinesAndGarbageGiveBoundedTexts) {
    const std::string huge(100'000, 'h');
    const std::string ini = "[message]\n" + huge + "\n1020=" + huge + "\n1021=after\n";
    EXPECT_EQ(Message(ini, "1020"), std::string(259, 'h'));
    EXPECT_EQ(Message(ini, "1021"), "after");

    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 50; ++round) {
        std::string garbage = "[message]\n";
        for (int i = 0; i < 20'000; ++i) {
            garbage += static_cast<char>(byte(random));
        }
        for (const std::string_view key : {"1020", "1021", "100", ""}) {
            EXPECT_LE(Message(garbage, key).size(), kMaxTextLength);
        }
    }
}

}  // namespace
}  // namespace tarnwick
