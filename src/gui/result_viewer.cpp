#include "gui/result_viewer.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvane::gui {

ResultViewerDialog::ResultViewerDialog(const QString& text, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("LOGEDIT"));
    setWindowTitle(QStringLiteral("Page header"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    resize(560, 380);
    auto* edit = new QPlainTextEdit(text);
    edit->setObjectName(QStringLiteral("THE1EDIT"));
    edit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    // Enter belongs to the text box, where it starts a new line.
    buttons->button(QDialogButtonBox::Ok)->setAutoDefault(false);
    buttons->button(QDialogButtonBox::Ok)->setDefault(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(edit);
    layout->addWidget(buttons);
}

} // namespace korvane::gui
