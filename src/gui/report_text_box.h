#pragma once

#include "shell/desktop.h"

#include <QPointer>

class QPlainTextEdit;

namespace korvane::gui {

class QtDesktop;

// A read-only text widget that workers append report lines to; each append waits until the
// widget holds the text.
class QtReportTextBox final : public ReportTextBox {
  public:
    QtReportTextBox(QtDesktop& desktop, QPlainTextEdit* edit) : m_desktop(desktop), m_edit(edit) {}
    void Append(std::string_view text) override;

  private:
    QtDesktop& m_desktop;
    QPointer<QPlainTextEdit> m_edit;
};

} // namespace korvane::gui
