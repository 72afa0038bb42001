#pragma once
// Base of the pages of PCMain and the small builders they share. A page is a widget class in its
// owner's pages/ folder; its handlers live in the owner's core code, so they run without widgets.

#include "session/Control.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QPointer>
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

    // Enables what only works with a box, or greys it out. The main window calls it as the
    // link opens and closes.
    void setBoxConnected(bool on)
    {
        for (const QPointer<QWidget>& w : m_needsBox)
            if (w)
                w->setEnabled(on);
    }

protected:
    // Marks a control (or an area of them) as doing nothing without a box. Only for widgets the
    // core never enables or disables itself: such controls go into a boxArea instead.
    void needsBox(QWidget* w) { m_needsBox.append(w); }
    // A plain area of the page for controls that need a box; children keep their own enabled
    // state, which the core may set.
    QWidget* boxArea(const QRect& geometry)
    {
        auto* area = new QWidget(this);
        area->setGeometry(geometry);
        needsBox(area);
        return area;
    }

    Session& m_s;

private:
    QList<QPointer<QWidget>> m_needsBox;
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
