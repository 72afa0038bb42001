#pragma once
// The Blend 1 page: edge widths and shifts, gamma transition, gain and offset.

#include "app/PageWidget.h"

#include <utility>
#include <vector>

class QAbstractSlider;
class QCheckBox;

namespace trivel {

struct SettingBinding;

class Blend1Page : public PageWidget {
    Q_OBJECT
public:
    explicit Blend1Page(Session& s, QWidget* parent = nullptr);

private:
    // RefreshBlendPages for this page: every slider from the current window's record.
    void refill();
    // RefreshPages step 11: the marker check box.
    void refillMarker();

    std::vector<std::pair<QAbstractSlider*, const SettingBinding*>> m_bound;
    QCheckBox* m_marker = nullptr;
};

} // namespace trivel
