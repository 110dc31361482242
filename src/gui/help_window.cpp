#include "gui/help_window.h"

#include <QFile>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace korvane::gui {

namespace {
const QString kDefaultTopic = QStringLiteral("qrc:/help/index.html");
}

HelpWindow::HelpWindow() : m_browser(new QTextBrowser) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Korvane Help"));
    resize(720, 560);
    m_browser->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    m_unavailable = !QFile::exists(QStringLiteral(":/help/index.html"));
}

void HelpWindow::ShowDefaultTopic() {
    if (m_unavailable)
        return;
    m_browser->setSource(QUrl(kDefaultTopic));
    show();
    raise();
}

} // namespace korvane::gui
