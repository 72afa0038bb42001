#include "box/NeutralState.h"

#include "box/Box.h"
#include "protocol/SessionFrames.h"
#include "session/Session.h"
#include "warp/Controls.h"

namespace trivel {

namespace {

int CursorPoint(const Session& s, int w)
{
    const CursorPos cur = s.box->warp.model(w).ControlCursor;
    return cur.row * 9 + cur.column;
}

void ShowPatternEntry(Session& s, int w)
{
    s.ui.set(ctl::CBPatternSel, Prop::ItemIndex, s.UserMapPatternIndex[std::size_t(w & 3)]);
}

Operation<void> Neutral(Session& s, bool sendMarker, int markerValue, bool awaitReplies)
{
    const int w = s.CurrentWindow;
    const auto hold = s.exchange.hold();
    const SendOptions options{.pauseMs = kNeutralStatePauseMs, .awaitReply = awaitReplies};
    if (sendMarker && s.connected())
        co_await s.exchange.send(proto::NeutralBlendMarker(w, markerValue), options);
    ShowPatternEntry(s, w);
    if (!s.connected())
        co_return;
    co_await s.exchange.send(proto::NeutralPatternColour(w), options);
    co_await s.exchange.send(proto::NeutralControlCursor(w, CursorPoint(s, w)), options);
}

} // namespace

Operation<void> SendNeutralState(Session& s, bool sendMarker, int markerValue)
{
    return Neutral(s, sendMarker, markerValue, true);
}

Operation<void> LeaveNeutralState(Session& s)
{
    return Neutral(s, true, 0, false);
}

} // namespace trivel
