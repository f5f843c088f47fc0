#include "image/utf8.h"

#include <gtest/gtest.h>

using kalder::image::appendUtf8;

TEST(Utf8, EachLengthAndWhatCannotBeEncoded) {
    std::string out;
    for (char32_t c : {U'A', U'\u00E9', U'\u20AC', U'\U0001F600'}) appendUtf8(out, c);
    EXPECT_EQ(out, "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    // Lone surrogates (a UTF-16 string cut in half) and values past the last code point.
    std::string bad;
    appendUtf8(bad, char32_t{0xD800});
    appendUtf8(bad, char32_t{0x110000});
    EXPECT_EQ(bad, "\xEF\xBF\xBD\xEF\xBF\xBD");
}
