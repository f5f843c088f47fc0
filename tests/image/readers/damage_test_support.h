#pragma once

// Shared by the JPEG and PNG reader tests: what decoding randomly damaged bytes may give.

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "image/result.h"
#include "support/test_support.h"

namespace kalder::test {

// Decodes damaged bytes twice with `decode`, which answers the header's and the rows' status and
// the rows it read (header, decode, image). The same bytes must give the same outcome and the same
// pixels, and a failure must be an error of its own, never a cancel nobody asked for. The picture
// when it shows, nullopt when the decode failed.
template <typename Decode>
std::optional<RgbImage> shownDespiteDamage(const Decode& decode,
                                           const std::vector<std::uint8_t>& bytes) {
    const auto d = decode(bytes), again = decode(bytes);
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
