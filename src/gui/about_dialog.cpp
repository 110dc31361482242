#include "gui/about_dialog.h"

#include "gui/artwork.h"
#include "gui/text.h"
#include "shell/screen.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvane::gui {

namespace {

QLabel* Heading(const QString& text) {
    auto* label = new QLabel(text);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

} // namespace

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("About"));
    setWindowTitle(QStringLiteral("Korvane"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* logo = new QLabel;
    logo->setPixmap(QPixmap::fromImage(Logo()));
    auto* release = new QLabel(ToQString(kReleaseText));
    release->setObjectName(QStringLiteral("Release"));

    auto* ok = new QPushButton(QStringLiteral("OK"));
    ok->setObjectName(QStringLiteral("OK"));
    ok->setDefault(true);
    auto* credits = new QPushButton(QStringLiteral("Credits"));
    credits->setObjectName(QStringLiteral("Credits"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(credits, &QPushButton::clicked, this, [this] {
        CreditsDialog box(this);
        box.exec();
    });

    auto* top = new QHBoxLayout;
    top->addWidget(logo);
    top->addWidget(release, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(credits);
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
}

CreditsDialog::CreditsDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Credits"));
    setWindowTitle(QStringLiteral("Credits"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* design = new QGroupBox(QStringLiteral("Design"));
    auto* grid = new QGridLayout(design);
    grid->addWidget(Heading(QStringLiteral("Code:")), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("The Korvane developers")), 0, 1);
    grid->addWidget(Heading(QStringLiteral("Interface:")), 1, 0);
    grid->addWidget(new QLabel(QStringLiteral("The Korvane developers")), 1, 1);

    auto* acknowledgment = new QLabel(
        QStringLiteral("The program utilitzes the RSA Data Security, Inc. MD5 Message-Digest."));
    acknowledgment->setWordWrap(true);

    auto* ok = new QPushButton(QStringLiteral("OK"));
    ok->setObjectName(QStringLiteral("OK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(design);
    layout->addWidget(Heading(QStringLiteral("Acknowledgment")));
    layout->addWidget(acknowledgment);
    layout->addLayout(buttons);
}

} // namespace korvane::gui
