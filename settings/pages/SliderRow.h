#pragma once
// A captioned horizontal slider with its value label, the row the settings pages are made of.

#include "widgets/PageWidget.h"

#include <QLabel>
#include <QScrollBar>
#include <QSlider>

namespace trivel::build {

template <class Bar = QScrollBar> struct SliderRow {
    Bar* bar;
    QLabel* value;
    QLabel* caption = nullptr;
    QLabel* unit = nullptr;
};

inline constexpr int kUnitWidth = 26;

// caption | bar | value [| unit], `width` wide from (x, y); an empty caption leaves its column out,
// a unit takes kUnitWidth of the width.
template <class Bar = QScrollBar>
SliderRow<Bar> MakeSliderRow(QWidget* parent, const Control& bar, const Control& label,
    const QString& caption, int x, int y, int width, int captionWidth = 44, const QString& unit = QString())
{
    SliderRow<Bar> row{nullptr, nullptr};
    if (!caption.isEmpty()) {
        row.caption = new QLabel(caption, parent);
        row.caption->setGeometry(x, y, captionWidth - 4, 20);
    } else {
        captionWidth = 0;
    }
    if (!unit.isEmpty()) {
        width -= kUnitWidth;
        row.unit = new QLabel(unit, parent);
        row.unit->setGeometry(x + width + 4, y, kUnitWidth - 4, 20);
    }
    row.bar = new Bar(Qt::Horizontal, parent);
    row.bar->setObjectName(bar.qname());
    row.bar->setGeometry(x + captionWidth, y + 1, width - captionWidth - 50, 18);
    row.value = Make<QLabel>(parent, label, QString(), QRect(x + width - 46, y, 46, 20));
    row.value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return row;
}

// The same tip on every part of a row.
template <class Bar> void SetRowTip(const SliderRow<Bar>& row, const QString& tip)
{
    for (QWidget* w : std::initializer_list<QWidget*>{row.bar, row.value, row.caption, row.unit})
        if (w)
            w->setToolTip(tip);
}

} // namespace trivel::build
