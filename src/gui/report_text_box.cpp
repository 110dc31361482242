#include "gui/report_text_box.h"

#include "gui/qt_desktop.h"
#include "gui/text.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>

namespace korvane::gui {

void QtReportTextBox::Append(std::string_view text) {
    const QString shown = ForDisplay(text);
    m_desktop.OnGuiThread([&] {
        if (!m_edit)
            return;
        QTextCursor end = m_edit->textCursor();
        end.movePosition(QTextCursor::End);
        end.insertText(shown);
        m_edit->setTextCursor(end);
        m_edit->ensureCursorVisible();
    });
}

void QtReportTextBox::SetButtonLabel(std::string_view label) {
    const QString text = ToQString(label);
    m_desktop.OnGuiThread([&] {
        if (m_button)
            m_button->setText(text);
    });
}

} // namespace korvane::gui
