#include "align/pages/CameraPicture.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace trivel::align {

namespace {

const char* const kCornerNames[4] = {"top left", "top right", "bottom right", "bottom left"};

} // namespace

CameraPicture::CameraPicture(const QString& emptyText, QSize size, QWidget* parent)
    : QWidget(parent)
    , m_emptyText(emptyText)
{
    setFixedSize(size);
    setMouseTracking(false);
}

void CameraPicture::setImage(const QImage& image)
{
    m_image = image;
    update();
}

void CameraPicture::setMarking(bool on)
{
    m_marking = on;
    m_dragging = -1;
    setCursor(on ? Qt::CrossCursor : Qt::ArrowCursor);
    update();
}

std::optional<std::array<Vec2, 4>> CameraPicture::corners() const
{
    if (m_marks.size() != 4)
        return std::nullopt;
    return std::array<Vec2, 4>{m_marks[0], m_marks[1], m_marks[2], m_marks[3]};
}

void CameraPicture::setCorners(const std::optional<std::array<Vec2, 4>>& corners)
{
    m_marks.clear();
    if (corners)
        m_marks.assign(corners->begin(), corners->end());
    update();
    emit marksChanged();
}

void CameraPicture::clearMarks()
{
    setCorners(std::nullopt);
}

QRectF CameraPicture::drawnRect() const
{
    if (m_image.isNull())
        return QRectF(rect());
    QSizeF s = m_image.size();
    s.scale(size(), Qt::KeepAspectRatio);
    return QRectF(QPointF((width() - s.width()) / 2.0, (height() - s.height()) / 2.0), s);
}

// A mouse position is the centre of its widget pixel; photo pixels have their centres on integers.
Vec2 CameraPicture::photoOf(QPointF widget) const
{
    const QRectF r = drawnRect();
    const double scale = m_image.isNull() ? 1.0 : r.width() / m_image.width();
    return {(widget.x() + 0.5 - r.left()) / scale - 0.5, (widget.y() + 0.5 - r.top()) / scale - 0.5};
}

QPointF CameraPicture::widgetOf(Vec2 photo) const
{
    const QRectF r = drawnRect();
    const double scale = m_image.isNull() ? 1.0 : r.width() / m_image.width();
    return {(photo.x + 0.5) * scale + r.left() - 0.5, (photo.y + 0.5) * scale + r.top() - 0.5};
}

void CameraPicture::mousePressEvent(QMouseEvent* e)
{
    if (!m_marking || m_image.isNull() || e->button() != Qt::LeftButton
        || !drawnRect().contains(e->position()))
        return QWidget::mousePressEvent(e);
    const Vec2 p = photoOf(e->position());
    if (m_marks.size() < 4) {
        m_marks.push_back(p);
        m_dragging = int(m_marks.size()) - 1;
    } else {
        const auto nearest = std::min_element(m_marks.begin(), m_marks.end(),
            [p](const Vec2& a, const Vec2& b) { return (a - p).norm() < (b - p).norm(); });
        *nearest = p;
        m_dragging = int(nearest - m_marks.begin());
    }
    update();
    emit marksChanged();
}

void CameraPicture::mouseMoveEvent(QMouseEvent* e)
{
    if (m_dragging < 0 || std::size_t(m_dragging) >= m_marks.size())
        return QWidget::mouseMoveEvent(e);
    const QRectF r = drawnRect();
    const QPointF at(std::clamp(e->position().x(), r.left(), r.right() - 1.0),
        std::clamp(e->position().y(), r.top(), r.bottom() - 1.0));
    m_marks[std::size_t(m_dragging)] = photoOf(at);
    update();
    emit marksChanged();
}

void CameraPicture::mouseReleaseEvent(QMouseEvent* e)
{
    m_dragging = -1;
    QWidget::mouseReleaseEvent(e);
}

void CameraPicture::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(0x20, 0x20, 0x20));
    if (m_image.isNull()) {
        p.setPen(QColor(0xc0, 0xc0, 0xc0));
        p.drawText(rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap, m_emptyText);
        return;
    }
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(drawnRect(), m_image);
    if (m_marks.empty())
        return;
    p.setRenderHint(QPainter::Antialiasing);
    QPolygonF outline;
    for (const Vec2& m : m_marks)
        outline << widgetOf(m);
    p.setPen(QPen(QColor(0xff, 0xc0, 0x20), 1.5));
    if (m_marks.size() == 4)
        p.drawPolygon(outline);
    else
        p.drawPolyline(outline);
    QFont f = font();
    f.setBold(true);
    p.setFont(f);
    for (std::size_t i = 0; i < m_marks.size(); ++i) {
        const QPointF c = outline[qsizetype(i)];
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(QColor(0xff, 0xc0, 0x20));
        p.drawEllipse(c, 5.0, 5.0);
        p.setPen(QColor(0xff, 0xe0, 0x80));
        const QPointF label
            = c + QPointF(c.x() < width() / 2.0 ? 8 : -8 - 70, c.y() < height() / 2.0 ? 16 : -8);
        p.drawText(label, QString::fromLatin1(kCornerNames[i]));
    }
}

} // namespace trivel::align
