#pragma once

#include <QPixmap>
#include <QWidget>

class QScreen;

namespace korvane::gui {

// The start-up picture: a copy of the desktop under it with the shaped picture drawn over it,
// so it looks like a picture lying on the desktop. Closes itself after two seconds.
class SplashWindow final : public QWidget {
    Q_OBJECT

  public:
    explicit SplashWindow(QScreen* screen);

  signals:
    void finished();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void Finish();

    QPixmap m_composite;
};

// The splash picture with its pure-blue parts made transparent.
QImage ShapedSplashPicture();

} // namespace korvane::gui
