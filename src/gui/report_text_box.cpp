#include "gui/report_text_box.h"

#include "gui/pacer.h"
#include "gui/qt_desktop.h"
#include "gui/text.h"

#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTextCursor>

#include <mutex>
#include <utility>

namespace korvane::gui {

// What the workers and the interface thread share. The widgets and the pacer are touched only on
// the interface thread; the queue only under the lock.
struct QtReportTextBox::Feed {
    QPointer<QPlainTextEdit> edit;
    QPointer<QPushButton> button;
    Pacer pacer{kBatchPeriodMs};

    std::mutex mutex;
    QString queued;
    bool insertionDue = false; // an insertion is posted or timed, and will take the queue
    bool gone = false;         // the widget has gone: appends are dropped

    // Returns whether the caller must post an insertion.
    bool Queue(const QString& text) {
        std::lock_guard lock(mutex);
        if (gone)
            return false;
        queued += text;
        return !std::exchange(insertionDue, true);
    }

    void Insert() {
        QString text;
        {
            std::lock_guard lock(mutex);
            text.swap(queued);
            insertionDue = false;
            gone = edit.isNull();
        }
        if (!edit || text.isEmpty())
            return;
        QTextCursor end = edit->textCursor();
        end.movePosition(QTextCursor::End);
        end.insertText(text);
        edit->setTextCursor(end);
        edit->ensureCursorVisible();
    }
};

QtReportTextBox::QtReportTextBox(QtDesktop& desktop, QPlainTextEdit* edit, QPushButton* button)
    : m_desktop(desktop), m_feed(std::make_shared<Feed>()) {
    m_feed->edit = edit;
    m_feed->button = button;
}

void QtReportTextBox::Append(std::string_view text) {
    if (!m_feed->Queue(ForDisplay(text)))
        return;
    if (QThread::currentThread() == m_desktop.thread()) {
        m_feed->Insert();
        return;
    }
    // The desktop outlives every window, so the insertion always runs and notices a window gone.
    QMetaObject::invokeMethod(
        &m_desktop,
        [feed = m_feed, desktop = &m_desktop] {
            feed->pacer.Run(desktop, [feed] { feed->Insert(); });
        },
        Qt::QueuedConnection);
}

void QtReportTextBox::SetButtonLabel(std::string_view label) {
    const QString text = ToQString(label);
    m_desktop.OnGuiThread([&] {
        // The lines appended before the new label show with it.
        m_feed->Insert();
        if (m_feed->button)
            m_feed->button->setText(text);
    });
}

} // namespace korvane::gui
