#pragma once

// Shared by the JPEG and PNG reader tests: what decoding randomly damaged bytes may give.

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "image/result.h"
#include "support/test_support.h"

namespace kalder::test {

// Decodes damaged bytes twice with a fresh Reader each, through `decodeAll`, which answers the
// header's and the rows' status and the rows it read (header, decode, image). The same bytes must
// give the same outcome and the same pixels, a refused header stays refused, and a failure is an
// error of its own, never a cancel nobody asked for. The picture when it shows, else nullopt.
template <typename Reader, typename DecodeAll>
std::optional<RgbImage> shownDespiteDamage(const std::vector<std::uint8_t>& bytes,
                                           const DecodeAll& decodeAll) {
    auto decode = [&] {
        Reader reader;
        EXPECT_TRUE(reader.OpenMemory(bytes));
        auto d = decodeAll(reader);
        if (!d.header) {
            EXPECT_FALSE(reader.BeginDecode());
        }
        return d;
    };
    const auto d = decode(), again = decode();
    const image::Status& last = d.header ? d.decode : d.header;
    const image::Status& lastAgain = again.header ? again.decode : again.header;
    EXPECT_EQ(d.header.ok(), again.header.ok());
    EXPECT_EQ(last.ok(), lastAgain.ok());
    EXPECT_EQ(d.image.rgb, again.image.rgb);
    if (last.ok()) return d.image;
    if (!lastAgain.ok()) {
        EXPECT_EQ(last.error(), lastAgain.error());
    }
    EXPECT_NE(last.error(), image::DecodeError::Cancelled);
    return std::nullopt;
}

}  // namespace kalder::test
