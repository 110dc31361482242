#include "gui/splash_window.h"

#include "gui/artwork.h"
#include "shell/screen.h"

#include <QPainter>
#include <QScreen>
#include <QTimer>

namespace korvane::gui {

QImage ShapedSplashPicture() {
    QImage picture = SplashPicture().convertToFormat(QImage::Format_ARGB32);
    const QRgb blue = qRgb(0, 0, 255);
    for (int y = 0; y < picture.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            if (line[x] == blue)
                line[x] = qRgba(0, 0, 0, 0);
        }
    }
    return picture;
}

SplashWindow::SplashWindow(QScreen* screen)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("SplashWndProc"));
    const QRect desktop = screen->geometry();
    const ScreenPoint origin = SplashPosition(desktop.width(), desktop.height());
    setFixedSize(kSplashWidth, kSplashHeight);
    move(desktop.x() + origin.x, desktop.y() + origin.y);

    m_composite = screen->grabWindow(0, origin.x, origin.y, kSplashWidth, kSplashHeight);
    if (m_composite.isNull() || m_composite.size() != QSize(kSplashWidth, kSplashHeight)) {
        m_composite = QPixmap(kSplashWidth, kSplashHeight);
        m_composite.fill(palette().window().color());
    }
    QPainter painter(&m_composite);
    painter.drawImage(0, 0, ShapedSplashPicture());
    painter.end();

    QTimer::singleShot(kSplashMilliseconds, this, &SplashWindow::Finish);
}

void SplashWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_composite);
}

void SplashWindow::Finish() {
    m_composite = QPixmap();
    close();
    emit finished();
}

} // namespace korvane::gui
