#include "gui/byte_viewer_dialog.h"

#include "file_utils/byte_viewer.h"
#include "gui_test_support.h"
#include "support/temp_dir.h"

#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>

#include <gtest/gtest.h>

namespace korvane::gui {
namespace {

QString TextOf(QWidget& dialog, const char* name) {
    if (auto* line = dialog.findChild<QLineEdit*>(QString::fromLatin1(name)))
        return line->text();
    return dialog.findChild<QLabel*>(QString::fromLatin1(name))->text();
}

TEST(ByteViewerDialog, TheScrollBarMovesThroughTheFileByItsActions) {
    korvane::test::TempDir dir;
    std::string bytes;
    for (int i = 0; i < 100; ++i)
        bytes += static_cast<char>('A' + i % 26);
    bytes[20] = '\t';
    korvane::test::WriteWholeFile(dir.File("data.bin"), bytes);
    ByteViewerModel model(dir.File("data.bin"));
    model.Open();
    ByteViewerDialog dialog(model, nullptr);

    EXPECT_EQ(dialog.windowTitle(), QString::fromStdString(dir.File("data.bin") + "  Size: 100"));
    auto* scroll = dialog.findChild<QScrollBar*>(QStringLiteral("Scroll"));
    EXPECT_EQ(scroll->maximum(), 84);
    EXPECT_EQ(TextOf(dialog, "Position"), QStringLiteral("0"));
    EXPECT_EQ(TextOf(dialog, "Row"), QStringLiteral("ABCDEFGHIJKLMNOP"));
    EXPECT_EQ(TextOf(dialog, "Hex0"), QStringLiteral("41"));
    EXPECT_EQ(TextOf(dialog, "MidDecimal"), QStringLiteral("89,90,65,66,67,68,69,70"));

    scroll->triggerAction(QAbstractSlider::SliderPageStepAdd);
    scroll->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(TextOf(dialog, "Position"), QStringLiteral("17"));
    EXPECT_EQ(scroll->value(), 17);
    EXPECT_EQ(TextOf(dialog, "Char3"), QStringLiteral("   ")) << "the tab at offset 20";
    EXPECT_EQ(TextOf(dialog, "Decimal3"), QStringLiteral("9"));
    scroll->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(TextOf(dialog, "Position"), QStringLiteral("84"));
    EXPECT_EQ(TextOf(dialog, "Window"),
              QString::fromLatin1(bytes.substr(44).c_str()).replace(QLatin1Char('\t'), ' '));
}

} // namespace
} // namespace korvane::gui
