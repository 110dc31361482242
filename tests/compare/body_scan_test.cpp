#include "compare/body_scan.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

// A text is found wherever the pieces cut it, and the digest does not depend on the cuts.
TEST(BodyScan, FindsTextsAcrossEveryCutAndDigestsTheWholeBody) {
    const std::string body = "<p>Welcome to the shop</p>";
    for (std::size_t piece = 1; piece <= body.size(); ++piece) {
        BodyScanner scan({"Welcome", "shop</p>", "Error", ""}, true);
        BodyScanner one({"/"}, false); // a text of one byte keeps no tail
        for (std::size_t at = 0; at < body.size(); at += piece) {
            scan.Feed(std::string_view(body).substr(at, piece));
            one.Feed(std::string_view(body).substr(at, piece));
        }
        EXPECT_TRUE(one.Found(0));
        EXPECT_EQ(std::vector<bool>({scan.Found(0), scan.Found(1), scan.Found(2), scan.Found(3)}),
                  std::vector<bool>({true, true, false, true}))
            << "pieces of " << piece;
        BodyScanner whole({}, true);
        whole.Feed(body);
        EXPECT_EQ(scan.Digest(), whole.Digest());
    }
    BodyScanner abc({}, true);
    abc.Feed("abc");
    EXPECT_EQ(abc.Digest(), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(BodyScanner({"x"}, false).Digest(), "");
}

} // namespace
} // namespace korvane
