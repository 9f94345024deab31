#include "support/json_text.h"

#include <gtest/gtest.h>

namespace tarnwick::cli {
namespace {

TEST(JsonString, EscapesQuotesBackslashesAndControlCharacters) {
    EXPECT_EQ(JsonString(""), "\"\"");
    EXPECT_EQ(JsonString("plain text"), "\"plain text\"");
    EXPECT_EQ(JsonString("say \"hi\" \\ bye"), "\"say \\\"hi\\\" \\\\ bye\"");
    EXPECT_EQ(JsonString("a\nb\rc\td"), "\"a\\nb\\rc\\td\"");
    EXPECT_EQ(JsonString(std::string("\0\x01\x1f\x7f", 4)), "\"\\u0000\\u0001\\u001f\\u007f\"");
}

TEST(JsonString, KeepsWellFormedUtf8) {
    EXPECT_EQ(JsonString("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"), "\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\"");
    EXPECT_EQ(JsonString("\xF4\x8F\xBF\xBF"), "\"\xF4\x8F\xBF\xBF\"");  // U+10FFFF, the last code point
}

TEST(JsonString, EveryByteOfMalformedUtf8IsEscapedAlone) {
    EXPECT_EQ(JsonString("\x80"), "\"\\u0080\"");                          // stray continuation
    EXPECT_EQ(JsonString("\xC0\xAF"), "\"\\u00c0\\u00af\"");                // overlong '/'
    EXPECT_EQ(JsonString("\xE0\x80\xAF"), "\"\\u00e0\\u0080\\u00af\"");     // overlong, three bytes
    EXPECT_EQ(JsonString("\xED\xA0\x80"), "\"\\u00ed\\u00a0\\u0080\"");     // surrogate half
    EXPECT_EQ(JsonString("\xF4\x90\x80\x80"), "\"\\u00f4\\u0090\\u0080\\u0080\"");  // above U+10FFFF
    EXPECT_EQ(JsonString("\xE2\x82"), "\"\\u00e2\\u0082\"");                // cut short at the end
    EXPECT_EQ(JsonString("\xE2\x82x"), "\"\\u00e2\\u0082x\"");              // cut short inside
    EXPECT_EQ(JsonString("\xFF\xC3\xA9"), "\"\\u00ff\xC3\xA9\"");           // a good one right after
}

TEST(JsonObject, JoinsFieldsInOrder) {
    EXPECT_EQ(JsonObject().Text(), "{}");
    JsonObject inner;
    inner.AddNumber("n", -5);
    JsonObject outer;
    outer.Add("s", "x\"y").AddNumber("big", 4294967296).AddBool("t", true).AddBool("f", false).AddNull("z").AddRaw(
        "o", inner.Text());
    EXPECT_EQ(outer.Text(),
              "{\"s\": \"x\\\"y\", \"big\": 4294967296, \"t\": true, \"f\": false, \"z\": null, \"o\": {\"n\": -5}}");
}

}  // namespace
}  // namespace tarnwick::cli
