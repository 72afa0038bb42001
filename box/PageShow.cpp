#include "box/PageShow.h"

#include "box/NeutralState.h"
#include "session/PageTable.h"
#include "session/Session.h"
#include "settings/SettingsState.h"

namespace trivel {

void PageShowRequest(Session& s, int pageIndex)
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
        if (!s.PageEnabled[std::size_t(pageIndex)])
            return;
        break;
    case Page::Blend2:
        if (!s.PageEnabled[Page::Blend1])
            return;
        break;
    default:
        break;
    }

    const bool blend = pageIndex == Page::Blend1 || pageIndex == Page::Blend2;
    const bool alwaysMarker = pageIndex == Page::System || pageIndex == Page::Edid || pageIndex == Page::Mask;
    const bool sendMarker = alwaysMarker || s.BoardModel != 116;
    const int marker = blend ? s.settings().BlendMarker[std::size_t(s.CurrentWindow & 3)] : 0;
    SendNeutralState(s, sendMarker, marker);

    if (pageIndex == Page::Mask && s.flag(Flag::UserMask) && s.pageHooks.maskSlotChange)
        s.pageHooks.maskSlotChange();
}

void RunPageShow(Session& s, int pageIndex)
{
    if (!ValidPage(pageIndex))
        return;
    if (const auto& own = s.pageHooks.show[std::size_t(pageIndex)])
        own();
    else
        PageShowRequest(s, pageIndex);
}

} // namespace trivel
