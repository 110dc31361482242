#pragma once

#include "shell/desktop.h"

#include <memory>

class QPlainTextEdit;
class QPushButton;

namespace korvane::gui {

class QtDesktop;

// A read-only text widget that workers append report lines to, and the push button under it.
// An append queues its text and returns at once; the interface thread takes whatever is queued
// in one insertion, at most every kBatchPeriodMs, so a fast worker costs the window a few
// insertions and repaints a second instead of one of each per line. Order is kept and nothing is
// lost while the widget lives; once it is gone, what was queued and what comes later is dropped.
class QtReportTextBox final : public ReportWindowHandle {
  public:
    static constexpr int kBatchPeriodMs = 50;

    QtReportTextBox(QtDesktop& desktop, QPlainTextEdit* edit, QPushButton* button = nullptr);
    void Append(std::string_view text) override;
    // Waits until the button shows the label, after the lines appended before it.
    void SetButtonLabel(std::string_view label) override;

    struct Feed;

  private:
    QtDesktop& m_desktop;
    std::shared_ptr<Feed> m_feed;
};

} // namespace korvane::gui
