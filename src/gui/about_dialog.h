#pragma once

#include <QDialog>

namespace korvane::gui {

// "Korvane": the release, "OK" and "Credits".
class AboutDialog final : public QDialog {
    Q_OBJECT

  public:
    explicit AboutDialog(QWidget* parent);
};

class CreditsDialog final : public QDialog {
    Q_OBJECT

  public:
    explicit CreditsDialog(QWidget* parent);
};

} // namespace korvane::gui
