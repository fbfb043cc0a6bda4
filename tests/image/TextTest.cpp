#include "image/Text.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

// File names and other bytes become valid UTF-8 for JSON: valid sequences stay as they
// are, anything else is spelled out byte by byte.
TEST(TextTest, InvalidUtf8BytesAreEscapedAndValidTextPassesThrough) {
    struct Case {
        std::string bytes;
        std::string text;
    };
    const Case cases[] = {
        {"plain.amod", "plain.amod"},
        {"\xe6\xa8\xa1\xe5\xbc\x8f.amod", "\xe6\xa8\xa1\xe5\xbc\x8f.amod"}, // two Han characters
        {"\xf0\x9f\x8e\xa4", "\xf0\x9f\x8e\xa4"},                           // outside the BMP
        {"a\xff" "b", "a\\xffb"},
        {"\xc0\xaf", "\\xc0\\xaf"},                 // overlong '/'
        {"\xed\xa0\x80", "\\xed\\xa0\\x80"},         // a surrogate
        {"\xf4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"}, // beyond U+10FFFF
        {"x\xe6\xa8", "x\\xe6\\xa8"},                // cut off by the end
        {"\xe6" "a\xa8", "\\xe6a\\xa8"},             // lead byte without its continuation
        {std::string("nul\0in", 6), std::string("nul\0in", 6)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EscapeInvalidUtf8(c.bytes), c.text) << c.text;
    }
}

TEST(TextTest, Utf16ConversionsReplaceWhatCannotBeConverted) {
    EXPECT_EQ(ToUtf16("K\xe6\xa8\xa1\xf0\x9f\x8e\xa4"), u"K\u6a21\U0001F3A4");
    EXPECT_EQ(ToUtf16("a\xff\xc0\xaf" "b"), u"a\uFFFD\uFFFD\uFFFDb");
    EXPECT_EQ(ToUtf8(u"K\u6a21\U0001F3A4"), "K\xe6\xa8\xa1\xf0\x9f\x8e\xa4");
    EXPECT_EQ(ToUtf8(std::u16string{u'a', char16_t(0xD800), u'b'}), "a\xef\xbf\xbd" "b");
}

} // namespace
} // namespace kv
