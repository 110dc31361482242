#include "gui/log_view.h"

#include "gui/artwork.h"
#include "gui/text.h"
#include "shell/session_log.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>

namespace korvane::gui {

namespace {

// Room at the bottom of the view for the logo; the background stops above it.
constexpr int kLogoBandHeight = 56;
constexpr int kLogoInsetFromRight = 90;
const QColor kHighlightColour(200, 0, 0);

int LineHeightOf(const QFontMetrics& metrics) {
    return metrics.height() + metrics.leading();
}

} // namespace

LogView::LogView(const SessionLog& log, QWidget* parent)
    : QAbstractScrollArea(parent), m_log(log), m_model(LineHeightOf(fontMetrics())),
      m_averageCharWidth(fontMetrics().averageCharWidth()), m_background(LogBackground()),
      m_logo(Logo()) {
    setObjectName(QStringLiteral("LogView"));
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setFocusPolicy(Qt::NoFocus);
    viewport()->setFocusPolicy(Qt::NoFocus);
    verticalScrollBar()->setFocusPolicy(Qt::NoFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    verticalScrollBar()->setSingleStep(1);
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, &LogView::OnScrollBarAction);
}

void LogView::Scroll(LogViewModel::ScrollAction action, int thumbPosition) {
    if (m_model.Scroll(action, thumbPosition) == 0)
        return;
    SyncScrollBar();
    viewport()->update();
}

void LogView::OnScrollBarAction(int action) {
    using A = LogViewModel::ScrollAction;
    const int position = verticalScrollBar()->sliderPosition();
    A mapped = A::Other;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        mapped = A::LineUp;
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        mapped = A::LineDown;
        break;
    case QAbstractSlider::SliderPageStepSub:
        mapped = A::PageUp;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        mapped = A::PageDown;
        break;
    case QAbstractSlider::SliderToMinimum:
        mapped = A::Top;
        break;
    case QAbstractSlider::SliderToMaximum:
        mapped = A::Bottom;
        break;
    case QAbstractSlider::SliderMove:
        mapped = A::ThumbTrack;
        break;
    default:
        break;
    }
    m_model.Scroll(mapped, position);
    // The bar moves only as far as the view's own arithmetic allows.
    verticalScrollBar()->setSliderPosition(m_model.FirstVisible());
    viewport()->update();
}

void LogView::SyncScrollBar() {
    m_syncing = true;
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, m_model.ScrollMaximum());
    bar->setPageStep(std::max(1, m_model.LinesThatFit()));
    bar->setValue(m_model.FirstVisible());
    m_syncing = false;
}

void LogView::scrollContentsBy(int, int) {
    // The model already moved; a value change that it did not cause is ignored.
    if (!m_syncing && verticalScrollBar()->value() != m_model.FirstVisible())
        verticalScrollBar()->setValue(m_model.FirstVisible());
}

void LogView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    m_model.Resize(viewport()->height());
    SyncScrollBar();
    viewport()->update();
}

void LogView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const int width = viewport()->width();
    const int height = viewport()->height();
    painter.fillRect(viewport()->rect(), palette().window());
    painter.drawImage(QRect(0, 0, width, std::max(0, height - kLogoBandHeight)), m_background);
    painter.drawImage(QPoint(width - kLogoInsetFromRight, height - kLogoBandHeight), m_logo);

    const QRect area = event->rect();
    const LogViewModel::LineRange range =
        m_model.ChooseLines(m_log.Count(), area.top(), area.bottom() + 1);
    SyncScrollBar();

    const int ascent = fontMetrics().ascent();
    const int x = m_averageCharWidth + 4;
    m_log.VisitLines(static_cast<std::size_t>(std::max(0, range.first)),
                     static_cast<std::size_t>(std::max(0, range.last)),
                     [&](std::size_t index, std::string_view text, LineColour colour) {
                         if (text.empty())
                             return;
                         painter.setPen(colour == LineColour::Highlighted ? kHighlightColour
                                                                          : QColor(Qt::black));
                         const int top = m_model.LineTop(static_cast<int>(index));
                         painter.drawText(x, top + ascent, ToQString(text));
                     });
}

void LogView::wheelEvent(QWheelEvent* event) {
    Scroll(event->angleDelta().y() > 0 ? LogViewModel::ScrollAction::LineUp
                                       : LogViewModel::ScrollAction::LineDown);
    event->accept();
}

void LogView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(QStringLiteral("Copy all"), this, &LogView::CopyAll);
    menu.exec(event->globalPos());
}

void LogView::CopyAll() {
    QString all;
    for (const LogLine& line : m_log.Snapshot()) {
        all += ToQString(line.text);
        all += QLatin1Char('\n');
    }
    QApplication::clipboard()->setText(all);
}

} // namespace korvane::gui
