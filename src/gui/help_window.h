#pragma once

#include <QWidget>

class QTextBrowser;

namespace korvane::gui {

// The program's own help pages, built into the program.
class HelpWindow final : public QWidget {
    Q_OBJECT

  public:
    HelpWindow();

    // Opens the overview page. When the pages cannot be shown this does nothing, now and later.
    void ShowDefaultTopic();
    bool Unavailable() const { return m_unavailable; }

  private:
    QTextBrowser* m_browser;
    bool m_unavailable = false;
};

} // namespace korvane::gui
