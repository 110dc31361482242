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

TEST(ReportWindow, TicksWhileOpenAndAWorkerCanRelabelTheButton) {
    QtDesktop desktop;
    std::shared_ptr<ReportWindowHandle> handle;
    int ticks = 0;
    QString labelAfter;
    ReportWindowRun run;
    run.caption = "Connect drop audio alert";
    run.buttonLabel = "Cancel";
    run.tickPeriod = std::chrono::milliseconds(20);
    run.onTick = [&] { ++ticks; };
    run.onOpen = [&](std::shared_ptr<ReportWindowHandle> opened) { handle = opened; };
    test::WhenModalOpens([&](QWidget* window) {
        auto* button = window->findChild<QPushButton*>(QStringLiteral("ReportButton"));
        EXPECT_EQ(button->text(), QStringLiteral("Cancel"));
        for (int i = 0; i < 500 && ticks < 3; ++i)
            QTest::qWait(5);
        // The worker waits for the interface thread, so the test keeps it turning meanwhile.
        std::atomic<bool> relabelled{false};
        std::thread worker([&] {
            handle->SetButtonLabel("OK");
            relabelled = true;
        });
        for (int i = 0; i < 500 && !relabelled.load(); ++i)
            QTest::qWait(2);
        worker.join();
        labelAfter = button->text();
        QTest::mouseClick(button, Qt::LeftButton);
    });
    desktop.RunReportWindow(run);
    const int ticksAtClose = ticks;
    QTest::qWait(60);
    EXPECT_GE(ticksAtClose, 3);
    EXPECT_EQ(ticks, ticksAtClose) << "the ticks end with the window";
    EXPECT_EQ(labelAfter, QStringLiteral("OK"));
}

} // namespace
} // namespace korvane::gui
