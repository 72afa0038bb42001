#pragma once
// Base of the pages of PCMain and the small builders they share. A page is a widget class in its
// owner's pages/ folder; its handlers live in the owner's core code, so they run without widgets.

#include "session/Control.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

namespace trivel {

class Session;

class PageWidget : public QWidget {
    Q_OBJECT
public:
    PageWidget(Session& s, QWidget* parent = nullptr)
        : QWidget(parent)
        , m_s(s)
    {
    }

protected:
    Session& m_s;
};

namespace build {

template <class T> T* Make(QWidget* parent, const Control& c, const QString& caption, const QRect& geometry)
{
    auto* w = new T(caption, parent);
    w->setObjectName(c.qname());
    w->setGeometry(geometry);
    return w;
}

// A group box; an unnamed one is layout only and never addressed.
inline QGroupBox* Group(QWidget* parent, const Control* c, const QString& title, const QRect& geometry)
{
    auto* g = new QGroupBox(title, parent);
    if (c)
        g->setObjectName(c->qname());
    g->setGeometry(geometry);
    return g;
}

// A speed button of one group: checkable, one down at a time.
inline QPushButton* SpeedButton(QWidget* parent, QButtonGroup* group, const Control& c,
    const QString& caption, const QRect& geometry, int tag)
{
    auto* b = Make<QPushButton>(parent, c, caption, geometry);
    b->setCheckable(true);
    b->setProperty("Tag", tag);
    group->addButton(b);
    return b;
}

// Radio buttons in a 3 x 3 arrangement; the corner sets leave out the centre.
template <std::size_t N> void RadioGrid(QWidget* parent, const ControlSet<N>& set, const QPoint& origin)
{
    static_assert(N == 8 || N == 9);
    int n = 0;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) {
            if (N == 8 && row == 1 && col == 1)
                continue;
            auto* r = Make<QRadioButton>(parent, set[std::size_t(n)], QString(),
                QRect(origin.x() + col * 40, origin.y() + row * 28, 20, 20));
            r->setProperty("Tag", n);
            r->setChecked(n == 0);
            ++n;
        }
}

} // namespace build

} // namespace trivel
