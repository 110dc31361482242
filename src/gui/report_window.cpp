#include "gui/report_window.h"

#include "gui/report_text_box.h"
#include "gui/text.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace korvane::gui {

ReportWindowDialog::ReportWindowDialog(QtDesktop& desktop, const ReportWindowRun& run,
                                       QWidget* parent)
    : QDialog(parent), m_desktop(desktop), m_run(run), m_text(new QPlainTextEdit),
      m_button(new QPushButton(ToQString(run.buttonLabel))) {
    setObjectName(QStringLiteral("ReportWindow"));
    setWindowTitle(ToQString(run.caption));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    resize(640, 420);
    m_text->setObjectName(QStringLiteral("Report"));
    m_text->setReadOnly(true);
    // Nobody undoes a report; the undo stack would only keep a copy of every line.
    m_text->setUndoRedoEnabled(false);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_button->setObjectName(QStringLiteral("ReportButton"));
    m_button->setDefault(true);
    connect(m_button, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_button);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addLayout(buttons);
}

void ReportWindowDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_started)
        return;
    m_started = true;
    if (m_run.tickPeriod.count() > 0 && m_run.onTick) {
        // The timer belongs to the window: closing it ends the ticks.
        auto* timer = new QTimer(this);
        timer->setInterval(static_cast<int>(std::min<std::chrono::milliseconds::rep>(
            m_run.tickPeriod.count(), std::numeric_limits<int>::max())));
        connect(timer, &QTimer::timeout, this, [this] { m_run.onTick(); });
        timer->start();
    }
    if (!m_run.onOpen)
        return;
    // Start the run from the window's own loop, once it is on screen.
    QTimer::singleShot(0, this, [this] {
        m_run.onOpen(std::make_shared<QtReportTextBox>(m_desktop, m_text, m_button));
    });
}

} // namespace korvane::gui
