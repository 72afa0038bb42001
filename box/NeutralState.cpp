#include "box/NeutralState.h"

#include "box/Box.h"
#include "session/Session.h"
#include "warp/Controls.h"

namespace trivel {

void SendNeutralState(Session& s, bool sendMarker, int markerValue)
{
    const int w = s.CurrentWindow;
    s.PostSendDelay = 20;

    // 0x2030 and 0x2003 write only their own fields over the previous frame.
    if (sendMarker) {
        FrameView f = s.request();
        f.setCode(Cmd::BlendMarker);
        f.put8(8, std::uint8_t(w));
        f.put8(9, std::uint8_t(markerValue));
        SendFrame(s);
    }

    s.ui.set(ctl::CBPatternSel, Prop::ItemIndex, s.UserMapPatternIndex[std::size_t(w & 3)]);
    {
        FrameView f = s.request();
        f.setCode(Cmd::TestPatternColour);
        f.put8(8, std::uint8_t(w));
        f.put8(9, 0);
        SendFrame(s);
    }

    const CursorPos cur = s.box->warp.model(w).ControlCursor;
    s.clearRequest();
    FrameView f = s.request();
    f.setCode(Cmd::ControlCursor);
    f.put8(8, std::uint8_t(w));
    f.put8(9, std::uint8_t(cur.row * 9 + cur.column));
    f.put8(10, 0);
    SendFrame(s);

    s.PostSendDelay = 0;
}

} // namespace trivel
