#include "compare/comparison.h"
#include "file_utils/comparison_report.h"

#include "support/scripted_desktop.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <random>
#include <unistd.h>

namespace korvane {
namespace {

using test::ReadWholeFile;
using test::TempDir;
using test::WriteWholeFile;

const std::string kTeal = "<font style=\"background : #C0C0C0\" color=\"#008080\" >";
const std::string kRed = "<font style=\"background : #C0C0C0\" color=\"#FF0000\" >";
const std::string kBlue = "<font style=\"background : #C0C0C0\" color=\"#0000FF\" >";
const std::string kTailStart = "   </pre>\t";

// The rows of a page: what stands between the file-name line and the page tail.
std::string Rows(const std::string& page, const std::string& name) {
    const std::size_t begin = page.find("<pre>");
    const std::size_t afterName = page.find(name + "\r\n", begin) + name.size() + 2;
    return page.substr(afterName, page.find(kTailStart) - afterName);
}

struct Compared {
    std::string left;
    std::string right;
};

Compared Compare(const std::string& leftBytes, const std::string& rightBytes) {
    TempDir dir;
    WriteWholeFile(dir.File("a.txt"), leftBytes);
    WriteWholeFile(dir.File("b.txt"), rightBytes);
    WriteComparison(dir.File("a.txt"), dir.File("b.txt"), dir.Path());
    return {Rows(ReadWholeFile(dir.File("fa.html")), dir.File("a.txt")),
            Rows(ReadWholeFile(dir.File("fb.html")), dir.File("b.txt"))};
}

TEST(ComparisonLines, FollowTheReadingRule) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(SplitComparisonLines(""), Lines{""});
    EXPECT_EQ(SplitComparisonLines("a\r\nb\n"), (Lines{"a", "b", ""}));
    EXPECT_EQ(SplitComparisonLines("a\rb\r\r\nc"), (Lines{"a\rb\r", "c"}));
    const auto longLine = SplitComparisonLines(std::string(1500, 'x') + "\nend");
    EXPECT_EQ(longLine, (Lines{std::string(1023, 'x'), "end"}));
}

TEST(ComparisonKeys, IgnoreSpacesAndWrapAsSigned32Bit) {
    EXPECT_EQ(ComparisonLineKey(""), 0);
    EXPECT_EQ(ComparisonLineKey("    "), 0);
    EXPECT_EQ(ComparisonLineKey("ab"), 97 * 1 + 98 * 2);
    EXPECT_EQ(ComparisonLineKey("a b"), ComparisonLineKey("ab"));
    EXPECT_NE(ComparisonLineKey("a\tb"), ComparisonLineKey("ab"));
    EXPECT_EQ(ComparisonLineKey("\xe9"), -23); // taken as a signed byte
    // Long lines wrap around instead of overflowing.
    const std::string big(1023, '\x7f');
    std::int64_t sum = 0;
    for (std::int64_t p = 1; p <= 1023; ++p)
        sum += p * 127;
    EXPECT_EQ(ComparisonLineKey(big), static_cast<std::int32_t>(static_cast<std::uint32_t>(sum)));
    EXPECT_EQ(ComparisonLineKey("ca"), ComparisonLineKey("_c")); // a collision
}

TEST(ComparisonReport, IdenticalFilesAndSpaceOnlyDifferencesAreCommonRows) {
    const Compared same = Compare("<b>one</b>\ntwo & three\nca\n", "<b>one</b>\ntwo&three\n_c\n");
    EXPECT_EQ(same.left, "&lt;b>one&lt;/b>\r\ntwo & three\r\nca\r\n\r\n");
    EXPECT_EQ(same.right, "&lt;b>one&lt;/b>\r\ntwo&three\r\n_c\r\n\r\n");
}

// Pages far larger than one write block, then a small comparison over them in the same folder:
// the pages are whole and nothing of the larger ones is left behind.
TEST(ComparisonReport, LargePagesAreWrittenWholeAndASmallerOneReplacesThem) {
    TempDir dir;
    std::string text;
    std::string rows;
    for (int i = 0; i < 20000; ++i) {
        text += "<li>" + std::to_string(i) + "\n";
        rows += "&lt;li>" + std::to_string(i) + "\r\n";
    }
    WriteWholeFile(dir.File("a.txt"), text);
    WriteWholeFile(dir.File("b.txt"), text);
    WriteComparison(dir.File("a.txt"), dir.File("b.txt"), dir.Path());
    EXPECT_EQ(Rows(ReadWholeFile(dir.File("fa.html")), dir.File("a.txt")), rows + "\r\n");
    EXPECT_EQ(Rows(ReadWholeFile(dir.File("fb.html")), dir.File("b.txt")), rows + "\r\n");
    WriteWholeFile(dir.File("a.txt"), "x");
    WriteWholeFile(dir.File("b.txt"), "x");
    WriteComparison(dir.File("a.txt"), dir.File("b.txt"), dir.Path());
    const std::string left = ReadWholeFile(dir.File("fa.html"));
    EXPECT_EQ(Rows(left, dir.File("a.txt")), "x\r\n");
    const std::string end = "   </html>\t\t\t\t\t\t\t\t\t\r\n";
    EXPECT_EQ(left.substr(left.size() - end.size()), end);
}

TEST(ComparisonReport, InsertedMissingAndChangedStretchesGetTheirBlocks) {
    const Compared inserted = Compare("a\nb", "a\nnew\nb");
    EXPECT_EQ(inserted.left, "a\r\n" + kTeal + "(+)\r\n</font>b\r\n");
    EXPECT_EQ(inserted.right, "a\r\n" + kTeal + "(+)new\r\n</font>b\r\n");

    const Compared missing = Compare("a\ngone\nb", "a\nb");
    EXPECT_EQ(missing.left, "a\r\n" + kRed + "(-)gone\r\n</font>b\r\n");
    EXPECT_EQ(missing.right, "a\r\n" + kRed + "(-)\r\n</font>b\r\n");

    const Compared changed = Compare("a\nx1\nx2\nx3\nb", "a\ny\nb");
    EXPECT_EQ(changed.left, "a\r\n" + kBlue + "(*)x1\r\n(*)x2\r\n(*)x3\r\n</font>b\r\n");
    EXPECT_EQ(changed.right, "a\r\n" + kBlue + "(*)y\r\n(-)\r\n(-)\r\n</font>b\r\n");
}

TEST(ComparisonReport, DifferencesAtTheEdgesAndNoCommonLineAtAll) {
    const Compared edges = Compare("first\nsame", "same\nlast");
    EXPECT_EQ(edges.left, kRed + "(-)first\r\n</font>same\r\n" + kTeal + "(+)\r\n</font>");
    EXPECT_EQ(edges.right, kRed + "(-)\r\n</font>same\r\n" + kTeal + "(+)last\r\n</font>");

    const Compared nothing = Compare("p\nq", "r");
    EXPECT_EQ(nothing.left, kBlue + "(*)p\r\n(*)q\r\n</font>");
    EXPECT_EQ(nothing.right, kBlue + "(*)r\r\n(-)\r\n</font>");
}

// Left lines (empty), q, r, (empty) against p, (empty): the walk pairs the first left line with
// the last right line, and the rest of the left file is a left-only block after it.
TEST(ComparisonReport, TheFourAgainstTwoExample) {
    const Compared example = Compare("\nq\nr\n", "p\n");
    EXPECT_EQ(example.left, kTeal + "(+)\r\n</font>\r\n" + kRed + "(-)q\r\n(-)r\r\n(-)\r\n</font>");
    EXPECT_EQ(example.right, kTeal + "(+)p\r\n</font>\r\n" + kRed + "(-)\r\n(-)\r\n(-)\r\n</font>");
}

TEST(ComparisonReport, WritesTheFramesetAndPagesAndOpensIt) {
    TempDir dir;
    WriteWholeFile(dir.File("a.txt"), "x");
    test::ScriptedDesktop desktop;
    ShowComparison(desktop, dir.File("a.txt"), dir.File("missing.txt"), dir.Path());
    EXPECT_EQ(ReadWholeFile(dir.File("tc.html")),
              "<HTML>  \r\n<HEAD>  \r\n<TITLE>File Comparison</TITLE> \r\n</HEAD> \r\n"
              "<FRAMESET COLS=50%,50% FRAMEBORDER=0 BORDER=no FRAMESPACING=0> \r\n"
              "<FRAME name=left SRC=fa.html SCROLLING=yes /> \r\n"
              "<FRAME name=right SRC=fb.html SCROLLING=yes /> \r\n</FRAMESET> \r\n</HTML> \r\n");
    const std::string left = ReadWholeFile(dir.File("fa.html"));
    const std::string right = ReadWholeFile(dir.File("fb.html"));
    EXPECT_EQ(left.substr(0, 14), "   <html>\t\t\t\t\t");
    EXPECT_NE(left.find("    parent.right.scrollTo(x,y);\t\t\t\t\r\n"), std::string::npos);
    EXPECT_NE(right.find("    parent.left.scrollTo(x,y);\t\t\t\t\r\n"), std::string::npos);
    EXPECT_NE(left.find("   <form name=leftform>\t\t\t\t\t\t\r\n   <pre> \t"), std::string::npos);
    EXPECT_NE(right.find("   <form name=rightform> \t\t\t\t\t\r\n   <pre>\t"), std::string::npos);
    // One file could not be opened: neither is read, the names stand and no row follows.
    EXPECT_EQ(Rows(left, dir.File("a.txt")), "");
    const std::string tail = "   </pre>\t\t\t\t\t\t\t\t\t\r\n   </form>\t\t\t\t\t\t\t\t\t\r\n"
                             "   </body>\t\t\t\t\t\t\t\t\t\r\n   </html>\t\t\t\t\t\t\t\t\t\r\n";
    EXPECT_EQ(right.substr(right.find(dir.File("missing.txt"))),
              dir.File("missing.txt") + "\r\n" + tail);
    EXPECT_EQ(desktop.BrowserTargets(), (std::vector<std::string>{dir.File("tc.html")}));
}

TEST(ComparisonReport, TheSmallerFileStandsLeftAndEqualSizesKeepTheFirstNamed) {
    TempDir dir;
    WriteWholeFile(dir.File("big"), "12345");
    WriteWholeFile(dir.File("small"), "12");
    WriteWholeFile(dir.File("also2"), "ab");
    EXPECT_EQ(OrderBySize(dir.File("big"), dir.File("small")),
              std::make_pair(dir.File("small"), dir.File("big")));
    EXPECT_EQ(OrderBySize(dir.File("small"), dir.File("big")),
              std::make_pair(dir.File("small"), dir.File("big")));
    EXPECT_EQ(OrderBySize(dir.File("also2"), dir.File("small")),
              std::make_pair(dir.File("also2"), dir.File("small")));
}

// The plain table and walk, kept here as the reference any faster matching must agree with.
std::vector<std::pair<std::size_t, std::size_t>>
ReferenceMatch(const std::vector<std::int32_t>& a, const std::vector<std::int32_t>& b) {
    const std::size_t n = a.size(), m = b.size();
    std::vector<std::vector<int>> L(n + 1, std::vector<int>(m + 1, 0));
    std::vector<std::vector<bool>> passLeft(n + 1, std::vector<bool>(m + 1, false));
    for (std::size_t i = n; i-- > 0;)
        for (std::size_t j = m; j-- > 0;) {
            if (a[i] == b[j])
                L[i][j] = L[i + 1][j + 1] + 1;
            else if (L[i + 1][j] > L[i][j + 1]) {
                L[i][j] = L[i + 1][j];
                passLeft[i][j] = true;
            } else
                L[i][j] = L[i][j + 1];
        }
    std::vector<std::pair<std::size_t, std::size_t>> pairs;
    for (std::size_t i = 0, j = 0; i < n && j < m;) {
        if (a[i] == b[j])
            pairs.emplace_back(i++, j++);
        else if (passLeft[i][j])
            ++i;
        else
            ++j;
    }
    return pairs;
}

TEST(ComparisonMatching, AgreesWithThePlainTableOnVariedInputsAndTies) {
    std::mt19937 random(2026);
    for (int round = 0; round < 400; ++round) {
        const int alphabet = 1 + static_cast<int>(random() % 6); // small alphabets make many ties
        std::vector<std::int32_t> a(random() % 40), b(random() % 40);
        for (auto& key : a)
            key = static_cast<std::int32_t>(random() % static_cast<unsigned>(alphabet));
        b = a;
        for (auto& key : b)
            if (random() % 4 == 0)
                key = static_cast<std::int32_t>(random() % static_cast<unsigned>(alphabet));
        // Keys only one file holds, which can never be paired.
        if (random() % 3 == 0)
            b.insert(b.begin() + static_cast<long>(random() % (b.size() + 1)), 99);
        if (random() % 3 == 0)
            a.insert(a.begin() + static_cast<long>(random() % (a.size() + 1)), 98);
        if (!b.empty() && random() % 3 == 0)
            b.erase(b.begin() + static_cast<long>(random() % b.size()));
        for (const auto& [x, y] : {std::pair{&a, &b}, std::pair{&b, &a}}) {
            const auto expected = ReferenceMatch(*x, *y);
            ASSERT_EQ(MatchLines(*x, *y), expected) << "round " << round;
            ASSERT_EQ(MatchLinesByTable(x->data(), x->size(), y->data(), y->size()), expected)
                << "round " << round;
            const auto byDistance =
                MatchLinesByDistance(x->data(), x->size(), y->data(), y->size(), 1 << 30);
            ASSERT_TRUE(byDistance);
            ASSERT_EQ(*byDistance, expected) << "round " << round;
        }
    }
}

TEST(ComparisonMatching, AgreesWithThePlainTableOnLongerFilesWithScatteredEdits) {
    std::mt19937 random(52);
    for (int round = 0; round < 40; ++round) {
        // New lines come from a wider range, so some are unpaired and some repeat old ones.
        const unsigned range = 50 + random() % 200;
        std::vector<std::int32_t> a(100 + random() % 300);
        for (auto& key : a)
            key = static_cast<std::int32_t>(random() % range);
        std::vector<std::int32_t> b;
        const unsigned rate = 2 + random() % 20; // from half the lines to one in twenty changed
        for (std::int32_t key : a) {
            switch (random() % rate) {
            case 0: // changed
                b.push_back(static_cast<std::int32_t>(random() % (2 * range)));
                break;
            case 1: // deleted
                break;
            case 2: // a line inserted before it
                b.push_back(static_cast<std::int32_t>(random() % (2 * range)));
                b.push_back(key);
                break;
            default:
                b.push_back(key);
            }
        }
        const auto expected = ReferenceMatch(a, b);
        ASSERT_EQ(MatchLines(a, b), expected) << "round " << round;
        const auto byDistance =
            MatchLinesByDistance(a.data(), a.size(), b.data(), b.size(), 1 << 30);
        ASSERT_TRUE(byDistance);
        ASSERT_EQ(*byDistance, expected) << "round " << round;
    }
}

TEST(ComparisonMatching, TheDistanceMethodGivesUpBeyondItsBudgetAndTheTableTakesOver) {
    std::vector<std::int32_t> a(300), b(300);
    for (std::size_t i = 0; i < a.size(); ++i) {
        a[i] = static_cast<std::int32_t>(i % 7);
        b[i] = static_cast<std::int32_t>(i % 5 + 3);
    }
    EXPECT_EQ(MatchLinesByDistance(a.data(), a.size(), b.data(), b.size(), 4096), std::nullopt);
    EXPECT_EQ(MatchLines(a, b), ReferenceMatch(a, b));
}

TEST(VisualComparison, ComparesTheTwoChosenFilesAndOpensTheReport) {
    TempDir dir;
    char saved[4096];
    ASSERT_NE(::getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(::chdir(dir.Path().c_str()), 0);
    WriteWholeFile("long.txt", "one\ntwo\nthree\n");
    WriteWholeFile("short.txt", "one\n");
    test::TestShell t;
    t.desktop.AnswerForm([](Form& form) {
        EXPECT_EQ(form.title, "File comparison");
        EXPECT_EQ(form.focusField, "File1");
        EXPECT_EQ(form.Field("File1").text, "");
        form.Field("File1").text = "long.txt";
        form.Field("File2").text = "short.txt";
        return kFormAccepted;
    });
    t.desktop.AnswerForm([](Form& form) {
        form.Field("File1").text = "long.txt";
        return kFormAccepted; // "File 2" left empty: nothing happens
    });
    VisualComparisonCommand(t.shell);
    VisualComparisonCommand(t.shell);
    const std::string left = ReadWholeFile("fa.html");
    ASSERT_EQ(::chdir(saved), 0);

    EXPECT_EQ(t.desktop.BrowserTargets(), (std::vector<std::string>{"./tc.html"}));
    EXPECT_NE(left.find("short.txt\r\n"), std::string::npos) << "the smaller file is on the left";
    EXPECT_FALSE(t.pickers.OffersTypeList());
}

} // namespace
} // namespace korvane
