#pragma once
// The Blend 1 page: edge widths and shifts, gamma transition, gain and offset.

#include "widgets/PageWidget.h"
#include "link/Operation.h"
#include "session/Control.h"

#include <utility>
#include <vector>

class QAbstractSlider;
class QCheckBox;

namespace trivel {

class Settings;
struct SettingBinding;

class Blend1Page : public PageWidget {
    Q_OBJECT
public:
    Blend1Page(Session& s, Settings& settings, QWidget* parent = nullptr);

private:
    void buildEdges();
    void buildShifts();
    void buildGamma();
    using Reset = Operation<void> (*)(Settings&);
    void addReset(QWidget* parent, const Control& c, Reset reset, const QRect& r);
    // RefreshBlendPages for this page: every slider from the current window's record.
    void refill();
    // RefreshPages step 11: the marker check box.
    void refillMarker();

    Settings& m_settings;
    std::vector<std::pair<QAbstractSlider*, const SettingBinding*>> m_bound;
    QCheckBox* m_marker = nullptr;
};

} // namespace trivel
