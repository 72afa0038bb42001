#pragma once
// The PIP page: display mode, size and position, overlaps, source.

#include "app/PageWidget.h"

#include <array>

class QLabel;
class QScrollBar;

namespace trivel {

class PipPage : public PageWidget {
    Q_OBJECT
public:
    explicit PipPage(Session& s, QWidget* parent = nullptr);

private:
    // RefreshPages steps 6 (the PIP controls), 8 and 9 for this page.
    void refill();

    std::array<QGroupBox*, 4> m_groups{};
    std::array<QScrollBar*, 7> m_bars{}; // PIZ, PIH, PIV, PLO, PRO, PTO, PBO
    QLabel* m_res = nullptr;
};

} // namespace trivel
