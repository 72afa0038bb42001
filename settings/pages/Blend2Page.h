#pragma once
// The Blend 2 page: colour gain and offset, black-level offsets by region, blend corners.

#include "widgets/PageWidget.h"

#include <array>
#include <utility>
#include <vector>

class QAbstractSlider;
class QScrollBar;

namespace trivel {

class Settings;
struct SettingBinding;

class Blend2Page : public PageWidget {
    Q_OBJECT
public:
    Blend2Page(Session& s, Settings& settings, QWidget* parent = nullptr);

private:
    void buildColour();
    void buildRegions();
    void buildCorners();
    // RefreshBlendPages for this page.
    void refill();
    void showRegion();
    void showCorner();

    Settings& m_settings;
    std::vector<std::pair<QAbstractSlider*, const SettingBinding*>> m_colour;
    std::array<QScrollBar*, 3> m_offsets{};
    std::array<QScrollBar*, 2> m_corner{};
};

} // namespace trivel
