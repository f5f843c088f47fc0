#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/byte_order.h"
#include "base/strings.h"
#include "base/utf.h"

namespace kalder::base {
namespace {

TEST(Strings, TrimSplitAndCase) {
    EXPECT_EQ(trim(" \tkey = value\t "), "key = value");
    EXPECT_EQ(trim(" \t \t"), "");
    EXPECT_EQ(trim(""), "");
    EXPECT_EQ(trimLeft("  a "), "a ");
    EXPECT_EQ(trimRight("a\r\n", "\r\n"), "a");
    EXPECT_EQ(split("a,,b", ','), (std::vector<std::string_view>{"a", "", "b"}));
    EXPECT_EQ(split("", ':'), (std::vector<std::string_view>{""}));
    EXPECT_EQ(split("a:", ':'), (std::vector<std::string_view>{"a", ""}));
    EXPECT_TRUE(equalsIgnoringCase("Lumid.EXE", "lumid.exe"));
    EXPECT_FALSE(equalsIgnoringCase("abc", "abcd"));
    // Only ASCII letters fold: "Ä" and "ä" in UTF-8 differ in their second byte and stay unequal.
    EXPECT_FALSE(equalsIgnoringCase("\xc3\x84", "\xc3\xa4"));
    EXPECT_EQ(toLowerAscii("JPEG \xc3\x84.Png"), "jpeg \xc3\x84.png");
    EXPECT_EQ(toUpperAscii("ehlo \xc3\xa4"), "EHLO \xc3\xa4");
    EXPECT_TRUE(lessIgnoringCase("apple", "Banana"));
    EXPECT_FALSE(lessIgnoringCase("B", "a"));
    EXPECT_TRUE(lessIgnoringCase("z", "\xc3\xa4"));  // bytes past ASCII sort last
    EXPECT_TRUE(containsIgnoringCase("Canon ScanGear", "SCANGEAR"));
    EXPECT_FALSE(containsIgnoringCase("scan", "scanner"));
}

std::vector<std::uint8_t> utf16le(std::initializer_list<std::uint16_t> units) {
    std::vector<std::uint8_t> bytes;
    for (std::uint16_t u : units) {
        bytes.push_back(static_cast<std::uint8_t>(u & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    return bytes;
}

TEST(Utf, Utf16GivesValidUtf8) {
    EXPECT_EQ(utf16leToUtf8({}), "");
    EXPECT_EQ(utf16leToUtf8(utf16le({'A', 0xE4, 0x20AC})), "A\xc3\xa4\xe2\x82\xac");
    EXPECT_EQ(utf16leToUtf8(utf16le({0xD83D, 0xDE00})), "\xf0\x9f\x98\x80");
    // Lone halves of a pair, and a pair in the wrong order, each become U+FFFD.
    EXPECT_EQ(utf16leToUtf8(utf16le({0xD83D, 'x'})), "\xef\xbf\xbdx");
    EXPECT_EQ(utf16leToUtf8(utf16le({'x', 0xDE00})), "x\xef\xbf\xbd");
    EXPECT_EQ(utf16leToUtf8(utf16le({0xDE00, 0xD83D})), "\xef\xbf\xbd\xef\xbf\xbd");
    EXPECT_EQ(utf16leToUtf8(utf16le({0xD83D})), "\xef\xbf\xbd");
    std::vector<std::uint8_t> odd = utf16le({'a'});
    odd.push_back('b');
    EXPECT_EQ(utf16leToUtf8(odd), "a");
    std::string out;
    for (char32_t c : {U'A', U'\u00E9', U'\u20AC', U'\U0001F600'}) appendUtf8(out, c);
    EXPECT_EQ(out, "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    // Lone surrogates (a UTF-16 string cut in half) and values past the last code point.
    std::string bad;
    appendUtf8(bad, 0x110000);
    appendUtf8(bad, 0xDC00);
    EXPECT_EQ(bad, "\xef\xbf\xbd\xef\xbf\xbd");
}

TEST(Utf, InvalidUtf8IsReplaced) {
    const std::string r = "\xef\xbf\xbd";
    EXPECT_EQ(toValidUtf8(""), "");
    EXPECT_EQ(toValidUtf8("plain \xc3\xa4 \xf0\x9f\x98\x80"), "plain \xc3\xa4 \xf0\x9f\x98\x80");
    EXPECT_EQ(toValidUtf8("a\x80z"), "a" + r + "z");            // stray continuation byte
    EXPECT_EQ(toValidUtf8("\xc0\xaf"), r + r);                  // overlong "/"
    EXPECT_EQ(toValidUtf8("\xed\xa0\x80"), r + r + r);          // an encoded surrogate
    EXPECT_EQ(toValidUtf8("\xf4\x90\x80\x80"), r + r + r + r);  // past U+10FFFF
    EXPECT_EQ(toValidUtf8("\xe2\x82"), r);                      // cut short at the end
    EXPECT_EQ(toValidUtf8("\xe2\x82x"), r + "x");               // cut short inside
    EXPECT_EQ(toValidUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(ByteOrder, ReadsStayInside) {
    const std::vector<std::uint8_t> b = {0x12, 0x34, 0x56, 0x78};
    EXPECT_EQ(u16leAt(b, 0), 0x3412);
    EXPECT_EQ(u16beAt(b, 2), 0x5678);
    EXPECT_EQ(u32leAt(b, 0), 0x78563412u);
    EXPECT_EQ(u32beAt(b, 0), 0x12345678u);
    // Past the end, and offsets a hostile file may state that would wrap around.
    EXPECT_EQ(u32leAt(b, 1), 0u);
    EXPECT_EQ(u16beAt(b, 3), 0u);
    EXPECT_EQ(u32beAt(b, ~std::uint64_t{0} - 1), 0u);
    EXPECT_FALSE(fits(b, 2, ~std::uint64_t{0}));
    EXPECT_TRUE(fits(b, 4, 0));
    EXPECT_EQ(fourCcBe("FORM"), 0x464F524Du);
    EXPECT_EQ(fourCcLe("RIFF"), 0x46464952u);
}

}  // namespace
}  // namespace kalder::base
