#pragma once

#include <QDialog>

namespace korvane::gui {

// "Page header": a tool's full result in an editable text box; edits are not kept.
class ResultViewerDialog final : public QDialog {
    Q_OBJECT

  public:
    ResultViewerDialog(const QString& text, QWidget* parent);
};

} // namespace korvane::gui
