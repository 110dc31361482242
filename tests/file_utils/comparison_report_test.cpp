#include "compare/comparison.h"
#include "file_utils/comparison_report.h"

#include "support/scripted_desktop.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(SplitComparisonLines("\r\n"), (Lines{"", ""})) << "a blank line of a CR LF file";
    const auto longLine = SplitComparisonLines(std::string(1500, 'x') + "\nend");
    EXPECT_EQ(longLine, (Lines{std::string(1023, 'x'), "end"}));
}

// Lines whose keys are equal are common rows: spaces do not count, tabs do, and keys collide.
TEST(ComparisonReport, EachStretchGetsItsBlock) {
    struct Case {
        const char* what;
        std::string leftBytes;
        std::string rightBytes;
        std::string left;
        std::string right;
    };
    const std::vector<Case> cases = {
        {"common", "<b>one</b>\ntwo & three\nca\n", "<b>one</b>\ntwo&three\n_c\n",
         "&lt;b>one&lt;/b>\r\ntwo & three\r\nca\r\n\r\n",
         "&lt;b>one&lt;/b>\r\ntwo&three\r\n_c\r\n\r\n"},
        {"blanks only", "x\n   \ny", "x\n\ny", "x\r\n   \r\ny\r\n", "x\r\n\r\ny\r\n"},
        {"a tab", "a\tb", "ab", kBlue + "(*)a\tb\r\n</font>", kBlue + "(*)ab\r\n</font>"},
        {"inserted", "a\nb", "a\nnew\nb", "a\r\n" + kTeal + "(+)\r\n</font>b\r\n",
         "a\r\n" + kTeal + "(+)new\r\n</font>b\r\n"},
        {"missing", "a\ngone\nb", "a\nb", "a\r\n" + kRed + "(-)gone\r\n</font>b\r\n",
         "a\r\n" + kRed + "(-)\r\n</font>b\r\n"},
        {"changed", "a\nx1\nx2\nx3\nb", "a\ny\nb",
         "a\r\n" + kBlue + "(*)x1\r\n(*)x2\r\n(*)x3\r\n</font>b\r\n",
         "a\r\n" + kBlue + "(*)y\r\n(-)\r\n(-)\r\n</font>b\r\n"},
        {"edges", "first\nsame", "same\nlast",
         kRed + "(-)first\r\n</font>same\r\n" + kTeal + "(+)\r\n</font>",
         kRed + "(-)\r\n</font>same\r\n" + kTeal + "(+)last\r\n</font>"},
        {"no common line", "p\nq", "r", kBlue + "(*)p\r\n(*)q\r\n</font>",
         kBlue + "(*)r\r\n(-)\r\n</font>"},
        // The walk pairs the first left line with the last right line, and the rest of the left
        // file is a left-only block after it.
        {"four against two", "\nq\nr\n", "p\n",
         kTeal + "(+)\r\n</font>\r\n" + kRed + "(-)q\r\n(-)r\r\n(-)\r\n</font>",
         kTeal + "(+)p\r\n</font>\r\n" + kRed + "(-)\r\n(-)\r\n(-)\r\n</font>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Compared compared = Compare(c.leftBytes, c.rightBytes);
        EXPECT_EQ(compared.left, c.left);
        EXPECT_EQ(compared.right, c.right);
    }
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

// Agreement of the methods with the table is the comparison fuzz replay's; here the fall-back
// from one to the other, on files too different for the distances (rows of several words, keys
// common enough to keep a row of bits each).
TEST(ComparisonMatching, TheDistanceMethodGivesUpBeyondItsLimitAndTheBitsTakeOver) {
    std::vector<std::int32_t> a(300), b(300);
    for (std::size_t i = 0; i < a.size(); ++i) {
        a[i] = static_cast<std::int32_t>(i % 4);
        b[i] = static_cast<std::int32_t>(i * i * 5 / 7 % 4);
    }
    const LinePairs table = MatchLinesByTable(a.data(), a.size(), b.data(), b.size());
    EXPECT_EQ(MatchLinesByDistance(a.data(), a.size(), b.data(), b.size(), 16), std::nullopt);
    EXPECT_EQ(MatchLinesByBits(a.data(), a.size(), b.data(), b.size()), table);
    EXPECT_EQ(MatchLines(a, b), table);
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
