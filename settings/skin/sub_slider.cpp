#include "skin/sub_slider.h"

#include <QStyle>
#include <QStyleOptionSlider>
#include <QToolTip>

#include <iterator>

namespace {
// The value tables of the settings record, by slider position.
const int kStopTimerTable[] = {1, 2, 4, 6, 12, 24, 36, 48};
const double kCutoff12Table[] = {11.6, 11.7, 11.8, 11.9, 12.0, 12.1, 12.2, 12.3};
const double kCutoff24Table[] = {23.2, 23.4, 23.6, 23.8, 24.0, 24.2, 24.4, 24.6};
const int kMotionTable[] = {1, 3, 5};

template <typename T, size_t N> bool InTable(const T (&)[N], int position)
{
    return position >= 0 && position < static_cast<int>(N);
}
} // namespace

CSubSlider::CSubSlider(QWidget *parent) : QSlider(Qt::Horizontal, parent)
{
    // Like the track bar's own tooltip: shown while the thumb is dragged or stepped.
    connect(this, &QAbstractSlider::sliderPressed, this, &CSubSlider::ShowValueTip);
    connect(this, &QAbstractSlider::sliderMoved, this, &CSubSlider::ShowValueTip);
    connect(this, &QAbstractSlider::actionTriggered, this, [this](int) { ShowValueTip(); });
}

QString CSubSlider::ToolTipText(int kind, int position)
{
    // A position outside a table (a range the owner set wider) shows the bare position
    // rather than reading past the table.
    switch (kind) {
    case kStopTimer:
        if (InTable(kStopTimerTable, position))
            return QString::asprintf("%d", kStopTimerTable[position]);
        break;
    case kCutoff12V:
        if (InTable(kCutoff12Table, position))
            return QString::asprintf("%0.1f", kCutoff12Table[position]);
        break;
    case kCutoff24V:
        if (InTable(kCutoff24Table, position))
            return QString::asprintf("%0.1f", kCutoff24Table[position]);
        break;
    case kMotionSensitivity:
        if (InTable(kMotionTable, position))
            return QString::asprintf("%d", kMotionTable[position]);
        break;
    default:
        break;
    }
    return QString::asprintf("%x", static_cast<unsigned>(position));
}

QString CSubSlider::ToolTipText() const
{
    // The thumb's position: during a drag or a step it leads the value.
    return ToolTipText(m_nValueKind, sliderPosition() - m_firstPosition);
}

void CSubSlider::ShowValueTip()
{
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
    QToolTip::showText(mapToGlobal(handle.topLeft()), ToolTipText(), this);
}
