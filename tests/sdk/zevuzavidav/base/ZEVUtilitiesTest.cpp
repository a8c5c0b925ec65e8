#include "sdk/zevuzavidav/base/ZEVUtilities.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>

namespace {

TEST(Utilities, HexEncodingAndFileRemoval) {
    char out[7];
    ZEVHexEncodeBytes("\x01\xab\xff", 3, out);
    EXPECT_STREQ(out, "01abff");
    EXPECT_TRUE(ZEVUnlinkIfExists("/tmp/velo-no-such-file-anywhere"));
    EXPECT_FALSE(ZEVReadString(16, nullptr, 8));
    EXPECT_TRUE(ZEVReadString(16, nullptr, 0));
}

TEST(Utilities, ErrorTextsNeedNoLibraryCall) {
    struct Case {
        int error;
        const char* text;
    };
    const Case cases[] = {{ENOENT, "No such file or directory"},
                          {EFBIG, "File too large"},
                          {ENOSPC, "No space left on device"},
                          {0, "error 0"},
                          {4095, "error 4095"},
                          {-7, "error -7"},
                          {INT_MIN, "error -2147483648"},
                          {INT_MAX, "error 2147483647"}};
    for (const Case& c : cases) {
        char buffer[zevuzavidav::kErrorTextSize];
        EXPECT_STREQ(zevuzavidav::errorText(c.error, buffer), c.text) << c.error;
    }
}

} // namespace
