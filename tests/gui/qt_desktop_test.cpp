#include "gui/qt_desktop.h"

#include "gui/alert_sound.h"

#include "gui_test_support.h"
#include "shell/shared_dialogs.h"
#include "support/fault_injection.h"
#include "support/temp_dir.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <optional>
#include <thread>

namespace korvane::gui {
namespace {

// Where no secret service answers (no session bus here), the password is asked once, masked,
// kept in memory for the session, and asked again once forgotten; the missing store costs no wait.
TEST(QtDesktop, AMailPasswordIsAskedOnceAndAgainOnlyOnceForgotten) {
    QtDesktop desktop;
    const std::string key = "smtp:mailer@mail.test";
    desktop.ForgetSecret(key);
    int asked = 0;
    const auto typeWhenAsked = [&asked](QString typed) {
        test::WhenModalOpens([&asked, typed](QWidget* dialog) {
            ++asked;
            auto* edit = dialog->findChild<QLineEdit*>();
            EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
            QTest::keyClicks(edit, typed);
            QTest::keyClick(edit, Qt::Key_Return);
        });
    };
    QElapsedTimer timer;
    timer.start();
    typeWhenAsked(QStringLiteral("first"));
    EXPECT_EQ(desktop.Secret(key, "Password for mailer at mail.test"), "first");
    std::optional<std::string> fromWorker;
    std::atomic<bool> answered{false};
    std::thread worker([&] {
        fromWorker = desktop.Secret(key, "again?");
        answered = true;
    });
    while (!answered)
        QTest::qWait(2);
    worker.join();
    EXPECT_EQ(fromWorker, "first");
    desktop.ForgetSecret(key);
    typeWhenAsked(QStringLiteral("second"));
    EXPECT_EQ(desktop.Secret(key, "Password for mailer at mail.test"), "second");
    EXPECT_EQ(asked, 2);
    EXPECT_LT(timer.elapsed(), 2000);
}

// A worker appends without waiting on the window, so the window must still show every line in
// order, with the newest in view; and a window closed under a worker that goes on appending must
// neither crash nor hold the worker up.
TEST(ReportWindow, AWorkersLinesAllShowInOrderAndClosingUnderItDropsTheRest) {
    constexpr int kLines = 100000;
    for (const bool closeWhileAppending : {false, true}) {
        SCOPED_TRACE(closeWhileAppending ? "closed while appending" : "closed when done");
        QtDesktop desktop;
        std::shared_ptr<ReportTextBox> kept;
        std::thread worker;
        std::atomic<bool> stop{false};
        std::atomic<int> appended{0};
        QString shown;
        ReportWindowRun run;
        run.caption = "Verify site to folder";
        run.onOpen = [&](std::shared_ptr<ReportTextBox> box) {
            kept = box;
            worker = std::thread([&, box] {
                for (int i = 0; closeWhileAppending ? !stop.load() : i < kLines; ++i, ++appended)
                    ReportAppend(*box, "Line %d\r\n", i);
            });
        };
        test::WhenModalOpens([&](QWidget* window) {
            EXPECT_EQ(window->windowTitle(), QStringLiteral("Verify site to folder"));
            auto* text = window->findChild<QPlainTextEdit*>(QStringLiteral("Report"));
            const int lastBlock = closeWhileAppending ? 1000 : kLines;
            EXPECT_TRUE(
                QTest::qWaitFor([&] { return text->document()->blockCount() > lastBlock; }, 60000));
            shown = text->toPlainText();
            // The newest line, the one before the cursor at the end, is in view.
            EXPECT_TRUE(text->viewport()->rect().contains(text->cursorRect()));
            auto* button = window->findChild<QPushButton*>(QStringLiteral("ReportButton"));
            EXPECT_EQ(button->text(), QStringLiteral("OK"));
            QTest::mouseClick(button, Qt::LeftButton);
        });
        desktop.RunReportWindow(run);
        const int atClose = appended.load();
        if (closeWhileAppending) {
            // The worker goes on past the window's end without waiting on it.
            EXPECT_TRUE(QTest::qWaitFor([&] { return appended.load() > atClose + 10000; }, 60000));
            stop = true;
        }
        worker.join();
        QApplication::processEvents();
        ReportAppend(*kept, "Finished.\r\n\r\n");
        const QStringList lines = shown.split(QLatin1Char('\n'));
        ASSERT_GT(lines.size(), 1000);
        if (!closeWhileAppending) {
            EXPECT_EQ(lines.size(), kLines + 1);
        }
        EXPECT_TRUE(lines.back().isEmpty());
        for (int i = 0; i + 1 < lines.size(); ++i)
            if (lines[i] != QStringLiteral("Line %1").arg(i)) {
                ADD_FAILURE() << "line " << i << " shows " << lines[i].toStdString();
                break;
            }
    }
}

// The sound's file never goes into the working folder, which may be read-only and where a file
// left behind is the user's to remove; in the runtime folder it lasts only until it is loaded.
TEST(AlertSound, LoadsWhateverTheWorkingFolderAndLeavesNoFileBehind) {
    namespace fs = std::filesystem;
    const auto soundFiles = [](const std::string& folder) {
        return std::count_if(fs::directory_iterator(folder), fs::directory_iterator(),
                             [](const fs::directory_entry& entry) {
                                 return entry.path().filename().string().starts_with(
                                     "korvane-alert-");
                             });
    };
    const fs::path before = fs::current_path();
    const std::string runtimeBefore = qEnvironmentVariable("XDG_RUNTIME_DIR").toStdString();
    for (const bool readOnly : {false, true}) {
        SCOPED_TRACE(readOnly ? "read-only" : "writable");
        korvane::test::TempDir work;
        korvane::test::TempDir runtime;
        std::optional<korvane::test::ImmutableFile> locked;
        if (readOnly && !locked.emplace(work.Path()).Made())
            GTEST_SKIP() << locked->Error();
        qputenv("XDG_RUNTIME_DIR", runtime.Path().c_str());
        fs::current_path(work.Path());
        {
            AlertSound sound;
            sound.Play();
            EXPECT_TRUE(QTest::qWaitFor([&] { return sound.Loaded(); }, 10000));
            EXPECT_EQ(soundFiles(work.Path()) + soundFiles(runtime.Path()), 0);
            sound.Play();
        }
        fs::current_path(before);
        qputenv("XDG_RUNTIME_DIR", runtimeBefore.c_str());
        EXPECT_EQ(soundFiles(work.Path()), 0);
    }
}

} // namespace
} // namespace korvane::gui
