#pragma once
// A captioned horizontal slider with its value label, the row the settings pages are made of.

#include "app/PageWidget.h"

#include <QLabel>
#include <QScrollBar>
#include <QSlider>

namespace trivel::build {

template <class Bar = QScrollBar> struct SliderRow {
    Bar* bar;
    QLabel* value;
};

// caption | bar | value, `width` wide from (x, y); an empty caption leaves its column out.
template <class Bar = QScrollBar>
SliderRow<Bar> MakeSliderRow(QWidget* parent, const Control& bar, const Control& label,
    const QString& caption, int x, int y, int width, int captionWidth = 44)
{
    if (!caption.isEmpty()) {
        auto* c = new QLabel(caption, parent);
        c->setGeometry(x, y, captionWidth - 4, 20);
    } else {
        captionWidth = 0;
    }
    auto* b = new Bar(Qt::Horizontal, parent);
    b->setObjectName(bar.qname());
    b->setGeometry(x + captionWidth, y + 1, width - captionWidth - 50, 18);
    auto* v = Make<QLabel>(parent, label, QString(), QRect(x + width - 46, y, 46, 20));
    v->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return {b, v};
}

} // namespace trivel::build
