#include "file_utils/byte_viewer.h"

#include "support/scripted_desktop.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace korvane {
namespace {

using namespace std::string_literals;
using A = ByteViewerModel::ScrollAction;
using test::TempDir;
using test::TestShell;

std::string Counting(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>('A' + i % 26);
    return bytes;
}

ByteViewerModel Opened(const TempDir& dir, const std::string& bytes) {
    const std::string path = dir.File("f" + std::to_string(bytes.size()));
    test::WriteWholeFile(path, bytes);
    ByteViewerModel model(path);
    model.Open();
    return model;
}

TEST(ByteViewer, SmallFilesShowTheirBytesAndZeroCellsBeyondTheEnd) {
    TempDir dir;
    const auto ten = Opened(dir, "Hello\tworld"s.substr(0, 10));
    EXPECT_EQ(ten.LastPosition(), 0u);
    EXPECT_EQ(ten.RowText(), "Hello worl");
    EXPECT_EQ(ten.Cells()[5].character, "   ") << "a tab is three blanks";
    EXPECT_EQ(ten.Cells()[0].decimal, "72");
    EXPECT_EQ(ten.Cells()[0].hex, "48");
    EXPECT_EQ(ten.Cells()[15].character + ten.Cells()[15].decimal + ten.Cells()[15].hex, "   00");
    EXPECT_EQ(ten.MidText(), " worl");
    EXPECT_EQ(ten.MidDecimal(), "9,119,111,114,108");
    EXPECT_EQ(ten.EndText(), "llo worl");
    EXPECT_EQ(ten.EndDecimal(), "108,108,111,9,119,111,114,108");
    EXPECT_EQ(ten.Title(), dir.File("f10") + "  Size: 10");

    const auto five = Opened(dir, "ab\r\nc");
    EXPECT_EQ(five.MidText(), "");
    EXPECT_EQ(five.EndDecimal(), "");
    EXPECT_EQ(five.RowText(), "ab  c");
}

// The text window starts forty bytes before the position.
TEST(ByteViewer, ScrollActionsFollowTheirTable) {
    TempDir dir;
    const std::string bytes = Counting(100);
    auto model = Opened(dir, bytes);
    EXPECT_EQ(model.LastPosition(), 84u);
    const std::vector<std::pair<A, std::uint32_t>> steps = {
        {A::StepLeft, 0},   {A::StepRight, 1},  {A::PageRight, 17}, {A::PageLeft, 1},
        {A::PageRight, 17}, {A::StepLeft, 16},  {A::PageLeft, 0},   {A::ToEnd, 84},
        {A::StepRight, 84}, {A::PageRight, 84}, {A::EndScroll, 84}, {A::ToStart, 0},
    };
    for (const auto& [action, expected] : steps) {
        model.Scroll(action);
        EXPECT_EQ(model.Position(), expected) << static_cast<int>(action);
    }
    EXPECT_EQ(model.WindowText(), bytes.substr(0, 80));
    model.Scroll(A::Thumb, 50);
    EXPECT_EQ(model.PositionText(), "50");
    EXPECT_EQ(model.RowText(), bytes.substr(50, 16));
    EXPECT_EQ(model.WindowText(), bytes.substr(10, 80));
    model.Scroll(A::Thumb, 1000); // a thumb beyond the range stops at the end
    EXPECT_EQ(model.Position(), 84u);
    EXPECT_EQ(model.WindowText(), bytes.substr(44));
}

TEST(ByteViewer, AFileThatGoesAwayOrShrinksStillMovesThePosition) {
    TempDir dir;
    auto model = Opened(dir, Counting(64));
    model.Scroll(A::PageRight);
    const std::string row = model.RowText();
    ::unlink(model.Path().c_str());
    model.Scroll(A::PageRight);
    EXPECT_EQ(model.Position(), 32u);
    EXPECT_EQ(model.RowText(), row);

    // A file cut short under the viewer: the row past its new end is empty, its cells zero.
    auto shrinking = Opened(dir, Counting(100));
    shrinking.Scroll(A::ToEnd);
    ASSERT_EQ(::truncate(shrinking.Path().c_str(), 10), 0);
    shrinking.Scroll(A::StepLeft);
    EXPECT_EQ(shrinking.RowText(), "");
    EXPECT_EQ(shrinking.Cells()[0].decimal, "0");

    ByteViewerModel missing(dir.File("never"));
    missing.Open();
    EXPECT_EQ(missing.Size(), 0u);
    EXPECT_EQ(missing.RowText(), "");
    EXPECT_EQ(missing.MidText(), "");
}

TEST(FileUtilities, TheViewerAndMd5ShareTheRememberedNameAndShowTheirResults) {
    TempDir dir;
    test::WriteWholeFile(dir.File("empty.txt"), "");
    test::WriteWholeFile(dir.File("page.html"), "<html>hello</html>\n");
    TestShell t;
    SetRememberedFileName("");

    t.desktop.AnswerForm([&](Form& form) {
        EXPECT_EQ(form.Field("FileName").text, "");
        form.Field("FileName").text = dir.File("empty.txt");
        return kFormAccepted;
    });
    t.desktop.AnswerForm(kFormAccepted); // the result
    Md5ChecksumCommand(t.shell);

    t.desktop.AnswerForm([&](Form& form) {
        EXPECT_EQ(form.Field("FileName").text, dir.File("empty.txt"));
        form.Field("FileName").text = dir.File("page.html");
        return kFormAccepted;
    });
    ByteViewerCommand(t.shell);

    const auto forms = t.desktop.Forms();
    ASSERT_EQ(forms.size(), 3u);
    EXPECT_EQ(forms[1].Field("File").text, dir.File("empty.txt") + "  Size: 0");
    EXPECT_EQ(forms[1].Field("Digest").text, "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(t.desktop.ByteViewers(),
              (std::vector<std::string>{dir.File("page.html") + "  Size: 19"}));
    EXPECT_TRUE(t.desktop.Messages().empty());
    // The picker offers every file once one of these dialogs has been opened.
    EXPECT_FALSE(t.pickers.OffersTypeList());
}

} // namespace
} // namespace korvane
