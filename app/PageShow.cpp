#include "app/PageShow.h"

#include "app/ControlTables.h"
#include "link/NeutralState.h"
#include "link/Session.h"

namespace trivel {

void PageShowRequest(Session& s, int pageIndex, const PageShowHooks& hooks)
{
    if (pageIndex < Page::VideoWall || pageIndex > Page::Firmware)
        return;
    // These pages stay silent while disabled; "Blend 2" goes by the "Blend 1" page.
    switch (pageIndex) {
    case Page::VideoWall:
    case Page::Image:
    case Page::Blend1:
    case Page::Mask:
    case Page::Pip:
    case Page::System:
        if (!s.ui.isEnabled(PageName(pageIndex)))
            return;
        break;
    case Page::Blend2:
        if (!s.ui.isEnabled(PageName(Page::Blend1)))
            return;
        break;
    default:
        break;
    }

    const bool blend = pageIndex == Page::Blend1 || pageIndex == Page::Blend2;
    const bool alwaysMarker = pageIndex == Page::System || pageIndex == Page::Edid || pageIndex == Page::Mask;
    const bool sendMarker = alwaysMarker || s.BoardModel != 116;
    const int marker = blend ? s.settings.BlendMarker[std::size_t(s.CurrentWindow & 3)] : 0;
    SendNeutralState(s, sendMarker, marker);

    if (pageIndex == Page::Mask && s.flag(Flag::UserMask) && hooks.maskSlotChange)
        hooks.maskSlotChange();
}

} // namespace trivel
