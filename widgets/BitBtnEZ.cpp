#include "widgets/BitBtnEZ.h"

#include <QIcon>
#include <QMetaMethod>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace trivel {

namespace {

QPixmap ArrowGlyph(TBitBtnEZ::Arrow arrow, const QColor& fill)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(8, 8);
    switch (arrow) {
    case TBitBtnEZ::Arrow::Up:
        p.rotate(-90);
        break;
    case TBitBtnEZ::Arrow::Left:
        p.rotate(180);
        break;
    case TBitBtnEZ::Arrow::Down:
        p.rotate(90);
        break;
    case TBitBtnEZ::Arrow::Right:
    case TBitBtnEZ::Arrow::None:
        break;
    }
    // A right-pointing arrow: shaft and head.
    QPainterPath path;
    path.moveTo(-6, -2);
    path.lineTo(0, -2);
    path.lineTo(0, -6);
    path.lineTo(7, 0);
    path.lineTo(0, 6);
    path.lineTo(0, 2);
    path.lineTo(-6, 2);
    path.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawPath(path);
    return pm;
}

} // namespace

TBitBtnEZ::TBitBtnEZ(QWidget* parent)
    : QPushButton(parent)
{
}

TBitBtnEZ::TBitBtnEZ(Arrow arrow, QWidget* parent)
    : QPushButton(parent)
{
    setArrow(arrow);
}

void TBitBtnEZ::setArrow(Arrow arrow)
{
    m_arrow = arrow;
    if (arrow == Arrow::None) {
        setIcon(QIcon());
        return;
    }
    QIcon icon;
    icon.addPixmap(ArrowGlyph(arrow, QColor(0, 0, 128)), QIcon::Normal);
    icon.addPixmap(ArrowGlyph(arrow, QColor(160, 160, 160)), QIcon::Disabled);
    setIcon(icon);
    setIconSize(QSize(16, 16));
}

void TBitBtnEZ::leaveEvent(QEvent* e)
{
    if (isSignalConnected(QMetaMethod::fromSignal(&TBitBtnEZ::mouseLeft)))
        emit mouseLeft(this);
    // The base still clears its hover look.
    QPushButton::leaveEvent(e);
}

} // namespace trivel
