#include "gui/byte_viewer_dialog.h"

#include "file_utils/byte_viewer.h"
#include "gui/text.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace korvane::gui {

namespace {

QLineEdit* ReadOnlyLine(const QString& name, const QFont& font) {
    auto* line = new QLineEdit;
    line->setObjectName(name);
    line->setReadOnly(true);
    line->setFont(font);
    return line;
}

QLabel* Cell(const QString& name, const QFont& font) {
    auto* cell = new QLabel;
    cell->setObjectName(name);
    cell->setFont(font);
    cell->setAlignment(Qt::AlignCenter);
    cell->setMinimumWidth(QFontMetrics(font).horizontalAdvance(QStringLiteral("0000")));
    cell->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return cell;
}

QGroupBox* SampleColumn(const QString& title, QLabel* text, QLabel* decimal) {
    auto* box = new QGroupBox(title);
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(text);
    layout->addWidget(decimal);
    return box;
}

} // namespace

ByteViewerDialog::ByteViewerDialog(ByteViewerModel& model, QWidget* parent)
    : QDialog(parent), m_model(model) {
    setObjectName(QStringLiteral("ByteViewer"));
    setWindowTitle(ToQString(model.Title()));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);

    m_window = ReadOnlyLine(QStringLiteral("Window"), fixed);
    m_row = ReadOnlyLine(QStringLiteral("Row"), fixed);
    auto* cells = new QGridLayout;
    cells->addWidget(new QLabel(QStringLiteral("Decimal")), 1, 0);
    cells->addWidget(new QLabel(QStringLiteral("Hex")), 2, 0);
    for (int i = 0; i < 16; ++i) {
        const auto index = static_cast<std::size_t>(i);
        m_characters[index] = Cell(QStringLiteral("Char%1").arg(i), fixed);
        m_decimals[index] = Cell(QStringLiteral("Decimal%1").arg(i), fixed);
        m_hexes[index] = Cell(QStringLiteral("Hex%1").arg(i), fixed);
        cells->addWidget(m_characters[index], 0, i + 1);
        cells->addWidget(m_decimals[index], 1, i + 1);
        cells->addWidget(m_hexes[index], 2, i + 1);
    }

    m_position = ReadOnlyLine(QStringLiteral("Position"), fixed);
    m_position->setMaximumWidth(140);
    m_scroll = new QScrollBar(Qt::Horizontal);
    m_scroll->setObjectName(QStringLiteral("Scroll"));
    m_scroll->setRange(0,
                       static_cast<int>(std::min<std::uint32_t>(model.LastPosition(), INT32_MAX)));
    m_scroll->setPageStep(16);
    connect(m_scroll, &QScrollBar::actionTriggered, this, &ByteViewerDialog::OnScrollAction);
    auto* positionRow = new QHBoxLayout;
    positionRow->addWidget(new QLabel(QStringLiteral("Position")));
    positionRow->addWidget(m_position);
    positionRow->addWidget(m_scroll, 1);

    m_midText = Cell(QStringLiteral("MidText"), fixed);
    m_midDecimal = Cell(QStringLiteral("MidDecimal"), fixed);
    m_endText = Cell(QStringLiteral("EndText"), fixed);
    m_endDecimal = Cell(QStringLiteral("EndDecimal"), fixed);
    auto* samples = new QHBoxLayout;
    samples->addWidget(SampleColumn(QStringLiteral("Mid"), m_midText, m_midDecimal));
    samples->addWidget(SampleColumn(QStringLiteral("End"), m_endText, m_endDecimal));

    auto* ok = new QPushButton(QStringLiteral("OK"));
    ok->setObjectName(QStringLiteral("OK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_window);
    layout->addWidget(m_row);
    layout->addLayout(cells);
    layout->addLayout(positionRow);
    layout->addLayout(samples);
    layout->addLayout(buttons);
    Refresh();
}

void ByteViewerDialog::OnScrollAction(int action) {
    using A = ByteViewerModel::ScrollAction;
    A mapped = A::EndScroll;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        mapped = A::StepLeft;
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        mapped = A::StepRight;
        break;
    case QAbstractSlider::SliderPageStepSub:
        mapped = A::PageLeft;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        mapped = A::PageRight;
        break;
    case QAbstractSlider::SliderToMinimum:
        mapped = A::ToStart;
        break;
    case QAbstractSlider::SliderToMaximum:
        mapped = A::ToEnd;
        break;
    case QAbstractSlider::SliderMove:
        mapped = A::Thumb;
        break;
    default:
        break;
    }
    m_model.Scroll(mapped, static_cast<std::uint32_t>(std::max(0, m_scroll->sliderPosition())));
    m_scroll->setSliderPosition(static_cast<int>(m_model.Position()));
    Refresh();
}

void ByteViewerDialog::Refresh() {
    m_window->setText(ToQString(m_model.WindowText()));
    m_row->setText(ToQString(m_model.RowText()));
    const auto& cells = m_model.Cells();
    for (std::size_t i = 0; i < cells.size(); ++i) {
        m_characters[i]->setText(ToQString(cells[i].character));
        m_decimals[i]->setText(ToQString(cells[i].decimal));
        m_hexes[i]->setText(ToQString(cells[i].hex));
    }
    m_position->setText(ToQString(m_model.PositionText()));
    m_midText->setText(ToQString(m_model.MidText()));
    m_midDecimal->setText(ToQString(m_model.MidDecimal()));
    m_endText->setText(ToQString(m_model.EndText()));
    m_endDecimal->setText(ToQString(m_model.EndDecimal()));
}

} // namespace korvane::gui
