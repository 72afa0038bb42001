#pragma once
// The PIP page: display mode, size and position, overlaps, source.

#include "widgets/PageWidget.h"

#include <array>

class QLabel;
class QScrollBar;

namespace trivel {

class Settings;

class PipPage : public PageWidget {
    Q_OBJECT
public:
    PipPage(Session& s, Settings& settings, QWidget* parent = nullptr);

private:
    Settings& m_settings;
    // RefreshPages steps 6 (the PIP controls), 8 and 9 for this page.
    void refill();

    std::array<QGroupBox*, 4> m_groups{};
    std::array<QScrollBar*, 7> m_bars{}; // PIZ, PIH, PIV, PLO, PRO, PTO, PBO
    QLabel* m_res = nullptr;
};

} // namespace trivel
