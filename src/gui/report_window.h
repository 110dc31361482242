#pragma once

#include "shell/desktop.h"

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace korvane::gui {

class QtDesktop;

// The report window of folder runs and watches: a caption, a read-only text that workers append
// to, and one push button. The run starts once the window is up.
class ReportWindowDialog final : public QDialog {
    Q_OBJECT

  public:
    ReportWindowDialog(QtDesktop& desktop, const ReportWindowRun& run, QWidget* parent);

    QPlainTextEdit* Text() const { return m_text; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QtDesktop& m_desktop;
    const ReportWindowRun& m_run;
    QPlainTextEdit* m_text;
    QPushButton* m_button;
    bool m_started = false;
};

} // namespace korvane::gui
