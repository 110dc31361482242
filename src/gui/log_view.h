#pragma once

#include "shell/log_view_model.h"

#include <QAbstractScrollArea>
#include <QImage>

namespace korvane {
class SessionLog;
}

namespace korvane::gui {

// Paints the session log over the background picture and the logo. It never takes the keyboard
// focus: keys go to the main window, which hands scroll keys back here.
class LogView final : public QAbstractScrollArea {
    Q_OBJECT

  public:
    LogView(const SessionLog& log, QWidget* parent);

    void Scroll(LogViewModel::ScrollAction action, int thumbPosition = 0);
    const LogViewModel& Model() const { return m_model; }
    int AverageCharWidth() const { return m_averageCharWidth; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

  private:
    void OnScrollBarAction(int action);
    void CopyAll();
    void SyncScrollBar();

    const SessionLog& m_log;
    LogViewModel m_model;
    int m_averageCharWidth;
    QImage m_background;
    QImage m_logo;
    bool m_syncing = false;
};

} // namespace korvane::gui
