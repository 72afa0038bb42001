#pragma once
// The Blend 2 page: colour gain and offset, black-level offsets by region, blend corners.

#include "app/PageWidget.h"

#include <array>
#include <utility>
#include <vector>

class QAbstractSlider;
class QScrollBar;

namespace trivel {

struct SettingBinding;

class Blend2Page : public PageWidget {
    Q_OBJECT
public:
    explicit Blend2Page(Session& s, QWidget* parent = nullptr);

private:
    // RefreshBlendPages for this page.
    void refill();
    void showRegion();
    void showCorner();

    std::vector<std::pair<QAbstractSlider*, const SettingBinding*>> m_colour;
    std::array<QScrollBar*, 3> m_offsets{};
    std::array<QScrollBar*, 2> m_corner{};
};

} // namespace trivel
