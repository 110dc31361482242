#include "gui/qt_desktop.h"

#include "gui/help_window.h"
#include "gui/report_text_box.h"
#include "gui_test_support.h"
#include "shell/shared_dialogs.h"

#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBrowser>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace korvane::gui {
namespace {

// Keeps the user-interface thread turning until `done` holds.
template <typename Done> void SpinUntil(Done done) {
    for (int i = 0; i < 5000 && !done(); ++i)
        QTest::qWait(2);
}

// The dialogs a worker opens run their own loop on the interface thread, so the test acts on
// them from a timer inside that loop, as a user would.
TEST(QtDesktop, AWorkerWaitsOnTheResultViewerUntilItIsClosed) {
    QtDesktop desktop;
    std::atomic<int> answer{-1};
    bool checked = false;
    test::WhenModalOpens([&](QWidget* viewer) {
        EXPECT_EQ(viewer->windowTitle(), QStringLiteral("Page header"));
        auto* text = viewer->findChild<QPlainTextEdit*>();
        EXPECT_EQ(text->toPlainText(), QStringLiteral("HTTP/1.1 200 OK\nServer: nginx\n"));
        QTest::qWait(50);
        EXPECT_EQ(answer.load(), -1) << "the worker must wait while the viewer is open";
        checked = true;
        QTest::mouseClick(viewer->findChild<QPushButton*>(), Qt::LeftButton);
    });
    std::thread worker(
        [&] { answer = ResultViewer(desktop, "HTTP/1.1 200 OK\r\nServer: nginx\r\n"); });
    SpinUntil([&] { return answer.load() != -1; });
    worker.join();
    EXPECT_TRUE(checked);
    EXPECT_EQ(answer.load(), 1);
}

TEST(QtDesktop, AMessageFromAWorkerShowsOnTheInterfaceThread) {
    QtDesktop desktop;
    std::atomic<bool> returned{false};
    QString title;
    QString text;
    test::WhenModalOpens([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        EXPECT_EQ(box->thread(), QApplication::instance()->thread());
        box->accept();
    });
    std::thread worker([&] {
        desktop.ShowMessage("In progress", "Please wait", MessageButtons::Ok);
        returned = true;
    });
    SpinUntil([&] { return returned.load(); });
    worker.join();
    EXPECT_TRUE(returned.load());
    EXPECT_EQ(title, QStringLiteral("Please wait"));
    EXPECT_EQ(text, QStringLiteral("In progress"));
}

TEST(QtReportTextBox, AnAppendReturnsOnlyOnceTheTextIsInTheWidget) {
    QtDesktop desktop;
    QPlainTextEdit edit;
    QtReportTextBox box(desktop, &edit);
    std::atomic<bool> sawText{false};
    std::thread worker([&] {
        ReportAppend(box, "File: %s\r\n", "index.html");
        ReportAppend(box, "%s", std::string(1500, 'z').c_str());
        // No GUI access from here: the report must already hold both texts.
        sawText = true;
    });
    SpinUntil([&] { return sawText.load(); });
    worker.join();
    EXPECT_EQ(edit.toPlainText(),
              QStringLiteral("File: index.html\n") + QString(1024, QLatin1Char('z')));
}

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

TEST(HelpWindow, OpensTheBuiltInOverviewPage) {
    HelpWindow help;
    ASSERT_FALSE(help.Unavailable());
    help.ShowDefaultTopic();
    auto* browser = help.findChild<QTextBrowser*>();
    EXPECT_EQ(browser->source(), QUrl(QStringLiteral("qrc:/help/index.html")));
    EXPECT_TRUE(browser->toPlainText().contains(QStringLiteral("Korvane")));
    EXPECT_TRUE(help.isVisible());
}

} // namespace
} // namespace korvane::gui
