#include "settings/pages/EdidPage.h"

#include "settings/Controls.h"

namespace trivel {

EdidPage::EdidPage(Session& s, QWidget* parent)
    : PageWidget(s, parent)
{
    // One group per input; the captions follow the current window's inputs.
    const Control* groups[] = {&ctl::H1Frame, &ctl::H2Frame, &ctl::DP1Frame, &ctl::VGAFrame};
    const char* captions[] = {"HDMI 1", "HDMI 2", "DP 1", "VGA 1"};
    for (int i = 0; i < 4; ++i)
        build::Group(this, groups[i], QString::fromLatin1(captions[i]),
            QRect(8 + (i % 2) * 308, 8 + (i / 2) * 160, 300, 150));
}

} // namespace trivel
