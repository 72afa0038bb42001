#pragma once
// The "Edge Mask" group of the Mask page: eight mask corners and their X and Y sliders.

#include <QGroupBox>

#include <array>

class QScrollBar;

namespace trivel {

class Session;

class EdgeMaskGroup : public QGroupBox {
    Q_OBJECT
public:
    EdgeMaskGroup(Session& s, QWidget* parent, const QRect& geometry);

private:
    // The part of RefreshBlendPages on the Mask page.
    void refill();
    void showCorner();

    Session& m_s;
    std::array<QScrollBar*, 2> m_bars{};
};

} // namespace trivel
