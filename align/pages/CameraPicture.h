#pragma once
// The camera's picture in the Auto Align window, where the user may mark the canvas: in mark mode
// four clicks place its corners (top left, top right, bottom right, bottom left), each shown as
// it is placed; once all four are there a click moves the nearest one, and a corner follows the
// mouse while the button is held.

#include "align/AlignTypes.h"

#include <QImage>
#include <QWidget>

#include <array>
#include <optional>
#include <vector>

namespace trivel::align {

class CameraPicture : public QWidget {
    Q_OBJECT
public:
    CameraPicture(const QString& emptyText, QSize size, QWidget* parent = nullptr);

    void setImage(const QImage& image);
    const QImage& image() const { return m_image; }
    void setMarking(bool on);
    bool marking() const { return m_marking; }
    // The corners placed so far, in photo pixels (pixel centres on integers).
    const std::vector<Vec2>& marks() const { return m_marks; }
    // All four, in order.
    std::optional<std::array<Vec2, 4>> corners() const;
    void setCorners(const std::optional<std::array<Vec2, 4>>& corners);
    void clearMarks();
    // Widget position <-> photo pixel, for the picture as it is drawn now.
    Vec2 photoOf(QPointF widget) const;
    QPointF widgetOf(Vec2 photo) const;

signals:
    void marksChanged();

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    QRectF drawnRect() const;

    QString m_emptyText;
    QImage m_image;
    bool m_marking = false;
    std::vector<Vec2> m_marks;
    int m_dragging = -1;
};

} // namespace trivel::align
