#include "box/PageShow.h"

#include "box/NeutralState.h"
#include "session/Operations.h"
#include "session/PageTable.h"
#include "session/Session.h"
#include "settings/SettingsState.h"

#include <optional>

namespace trivel {

namespace {

struct Marker {
    bool send = true;
    int value = 0;
};

// What the page's request sends as its blend marker; none when the page stays silent.
std::optional<Marker> PageMarker(const Session& s, int pageIndex)
{
    if (pageIndex < Page::VideoWall || pageIndex > Page::Firmware)
        return std::nullopt;
    // These pages stay silent while disabled; "Blend 2" goes by the "Blend 1" page.
    switch (pageIndex) {
    case Page::VideoWall:
    case Page::Image:
    case Page::Blend1:
    case Page::Mask:
    case Page::Pip:
    case Page::System:
        if (!s.PageEnabled[std::size_t(pageIndex)])
            return std::nullopt;
        break;
    case Page::Blend2:
        if (!s.PageEnabled[Page::Blend1])
            return std::nullopt;
        break;
    default:
        break;
    }
    const bool blend = pageIndex == Page::Blend1 || pageIndex == Page::Blend2;
    const bool alwaysMarker = pageIndex == Page::System || pageIndex == Page::Edid || pageIndex == Page::Mask;
    return Marker{alwaysMarker || s.BoardModel != 116,
        blend ? s.settings().BlendMarker[std::size_t(s.CurrentWindow & 3)] : 0};
}

// The Mask page then previews the chosen slot.
void AfterRequest(Session& s, int pageIndex)
{
    if (pageIndex == Page::Mask && s.flag(Flag::UserMask) && s.pageHooks.maskSlotChange)
        s.pageHooks.maskSlotChange();
}

} // namespace

Operation<void> PageShowRequest(Session& s, int pageIndex)
{
    const std::optional<Marker> marker = PageMarker(s, pageIndex);
    if (!marker)
        co_return;
    co_await SendNeutralState(s, marker->send, marker->value);
    AfterRequest(s, pageIndex);
}

Operation<void> ShowPage(Session& s, int pageIndex)
{
    if (!ValidPage(pageIndex))
        return Finished();
    if (const auto& own = s.pageHooks.show[std::size_t(pageIndex)]) {
        own();
        return Finished();
    }
    return PageShowRequest(s, pageIndex);
}

void RunPageShow(Session& s, int pageIndex)
{
    Launch(s, ShowPage(s, pageIndex));
}

} // namespace trivel
