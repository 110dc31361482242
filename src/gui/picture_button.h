#pragma once

#include <QAbstractButton>
#include <QImage>

namespace korvane::gui {

// A tool shortcut drawn entirely by its pictures: the pressed one while it is held down.
class PictureButton final : public QAbstractButton {
    Q_OBJECT

  public:
    PictureButton(int index, QWidget* parent);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QImage m_normal;
    QImage m_pressed;
};

} // namespace korvane::gui
