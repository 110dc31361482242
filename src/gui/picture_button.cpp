#include "gui/picture_button.h"

#include "gui/artwork.h"

#include <QPainter>

namespace korvane::gui {

PictureButton::PictureButton(int index, QWidget* parent)
    : QAbstractButton(parent), m_normal(ButtonPicture(index, false)),
      m_pressed(ButtonPicture(index, true)) {
    setText(QString::number(index));
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
}

void PictureButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(rect(), isDown() ? m_pressed : m_normal);
}

} // namespace korvane::gui
