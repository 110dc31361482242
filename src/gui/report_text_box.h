#pragma once

#include "shell/desktop.h"

#include <QPointer>

class QPlainTextEdit;
class QPushButton;

namespace korvane::gui {

class QtDesktop;

// A read-only text widget that workers append report lines to, and the push button under it;
// each call waits until the widgets show the change. Once they are gone, calls do nothing.
class QtReportTextBox final : public ReportWindowHandle {
  public:
    QtReportTextBox(QtDesktop& desktop, QPlainTextEdit* edit, QPushButton* button = nullptr)
        : m_desktop(desktop), m_edit(edit), m_button(button) {}
    void Append(std::string_view text) override;
    void SetButtonLabel(std::string_view label) override;

  private:
    QtDesktop& m_desktop;
    QPointer<QPlainTextEdit> m_edit;
    QPointer<QPushButton> m_button;
};

} // namespace korvane::gui
