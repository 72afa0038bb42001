#pragma once
// The arrow button of the warp pages: a push button that reports the mouse leaving it.

#include <QPushButton>

namespace trivel {

class TBitBtnEZ : public QPushButton {
    Q_OBJECT
public:
    enum class Arrow { None, Left, Up, Right, Down };

    explicit TBitBtnEZ(QWidget* parent = nullptr);
    TBitBtnEZ(Arrow arrow, QWidget* parent);

    // Normal and disabled arrow glyphs, drawn rather than loaded.
    void setArrow(Arrow arrow);
    Arrow arrow() const { return m_arrow; }

signals:
    // OnMouseLeave: only emitted when something listens.
    void mouseLeft(QObject* sender);

protected:
    void leaveEvent(QEvent* e) override;

private:
    Arrow m_arrow = Arrow::None;
};

} // namespace trivel
