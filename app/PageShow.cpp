#include "app/PageShow.h"

#include "app/PageTable.h"
#include "link/Session.h"

#include <algorithm>

namespace trivel {

void SendPageShowFrames(Session& s, bool sendMarker, int markerValue, const PageShowHooks& hooks)
{
    const int w = std::clamp(s.CurrentWindow, 0, 3);
    s.PostSendDelay = 20;
    FrameView f = s.request();
    if (sendMarker) {
        f.setCode(Cmd::BlendMarker);
        f.put8(8, std::uint8_t(w));
        f.put8(9, std::uint8_t(markerValue));
        SendFrame(s);
    }
    if (hooks.storedPattern)
        s.ui.set(QStringLiteral("CBPatternSel"), Prop::ItemIndex, hooks.storedPattern());
    f.setCode(Cmd::TestPatternColour);
    f.put8(8, std::uint8_t(w));
    f.put8(9, 0);
    SendFrame(s);

    s.clearRequest();
    const CursorPos& c = s.warp.model[std::size_t(w)].ControlCursor;
    f.setCode(Cmd::ControlCursor);
    f.put8(8, std::uint8_t(w));
    f.put8(9, std::uint8_t(c.row * 9 + c.column));
    f.put8(10, 0);
    SendFrame(s);
    s.PostSendDelay = 0;
}

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
        if (!s.ui.isEnabled(QString::fromLatin1(kPages[std::size_t(pageIndex)].name)))
            return;
        break;
    case Page::Blend2:
        if (!s.ui.isEnabled(QString::fromLatin1(kPages[Page::Blend1].name)))
            return;
        break;
    default:
        break;
    }

    const bool blend = pageIndex == Page::Blend1 || pageIndex == Page::Blend2;
    const bool alwaysMarker = pageIndex == Page::System || pageIndex == Page::Edid || pageIndex == Page::Mask;
    const bool sendMarker = alwaysMarker || s.BoardModel != 116;
    const int marker = blend && hooks.blendMarker ? hooks.blendMarker() : 0;
    SendPageShowFrames(s, sendMarker, marker, hooks);

    if (pageIndex == Page::Mask && s.flag(Flag::UserMask) && hooks.maskSlotChange)
        hooks.maskSlotChange();
}

} // namespace trivel
