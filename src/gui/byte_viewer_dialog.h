#pragma once

#include <QDialog>

#include <array>

class QLabel;
class QLineEdit;
class QScrollBar;

namespace korvane {
class ByteViewerModel;
}

namespace korvane::gui {

// The byte viewer: it only shows its model and forwards the scroll bar's actions to it.
class ByteViewerDialog final : public QDialog {
    Q_OBJECT

  public:
    ByteViewerDialog(ByteViewerModel& model, QWidget* parent);

  private:
    void OnScrollAction(int action);
    void Refresh();

    ByteViewerModel& m_model;
    QLineEdit* m_window;
    QLineEdit* m_row;
    std::array<QLabel*, 16> m_characters{};
    std::array<QLabel*, 16> m_decimals{};
    std::array<QLabel*, 16> m_hexes{};
    QLineEdit* m_position;
    QScrollBar* m_scroll;
    QLabel* m_midText;
    QLabel* m_midDecimal;
    QLabel* m_endText;
    QLabel* m_endDecimal;
};

} // namespace korvane::gui
