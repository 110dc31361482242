#include "gui/qt_desktop.h"

#include "gui_test_support.h"
#include "shell/shared_dialogs.h"

#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace korvane::gui {
namespace {

TEST(QtDesktop, LogRepaintRequestsFromManyAppendsCollapseIntoFewRepaints) {
    QtDesktop desktop;
    int repaints = 0;
    QObject::connect(&desktop, &QtDesktop::logRepaintRequested, [&] { ++repaints; });
    std::thread worker([&] {
        for (int i = 0; i < 1000; ++i)
            desktop.RequestLogRepaint();
    });
    worker.join();
    QApplication::processEvents();
    EXPECT_GE(repaints, 1);
    EXPECT_LE(repaints, 2);
}

TEST(ReportWindow, AWorkerStartedOnOpeningFillsItAndLinesAfterClosingAreDropped) {
    QtDesktop desktop;
    std::shared_ptr<ReportTextBox> kept;
    std::thread worker;
    std::atomic<bool> appended{false};
    QString shown;
    ReportWindowRun run;
    run.caption = "Verify site to folder";
    run.onOpen = [&](std::shared_ptr<ReportTextBox> box) {
        kept = box;
        worker = std::thread([box, &appended] {
            ReportAppend(*box, "Files in directory: %d\r\n", 2);
            ReportAppend(*box, "Integrity verified: %s\r\n", "index.html");
            appended = true;
        });
    };
    test::WhenModalOpens([&](QWidget* window) {
        EXPECT_EQ(window->windowTitle(), QStringLiteral("Verify site to folder"));
        for (int i = 0; i < 500 && !appended.load(); ++i)
            QTest::qWait(2);
        shown = window->findChild<QPlainTextEdit*>(QStringLiteral("Report"))->toPlainText();
        auto* button = window->findChild<QPushButton*>(QStringLiteral("ReportButton"));
        EXPECT_EQ(button->text(), QStringLiteral("OK"));
        QTest::mouseClick(button, Qt::LeftButton);
    });
    desktop.RunReportWindow(run);
    worker.join();
    EXPECT_EQ(shown, QStringLiteral("Files in directory: 2\nIntegrity verified: index.html\n"));
    // The window is gone: a late line goes nowhere and does no harm.
    ReportAppend(*kept, "Finished.\r\n\r\n");
}

} // namespace
} // namespace korvane::gui
