#include "settings/WindowSelect.h"

#include "box/Box.h"
#include "box/PageShow.h"
#include "session/Session.h"
#include "settings/SettingBinding.h"
#include "settings/SettingsState.h"
#include "warp/Controls.h"

#include <QCoreApplication>
#include <QScopedValueRollback>

namespace trivel {

namespace {

// The warp cursor of the window being left is hidden; the box keeps showing it otherwise.
void HideControlCursor(Session& s, int w)
{
    const CursorPos cur = s.box->warp.model(w).ControlCursor;
    s.clearRequest();
    FrameView f = s.request();
    f.setCode(Cmd::ControlCursor);
    f.put8(8, std::uint8_t(w));
    f.put8(9, std::uint8_t(cur.row * 9 + cur.column));
    f.put8(10, 0);
    SendFrame(s);
}

} // namespace

void SelectWindow(Session& s, int w)
{
    if (w < 0 || w > 3)
        return;
    const int page = s.ActivePage;
    const int outgoing = s.CurrentWindow & 3;
    const QScopedValueRollback selecting(s.SelectingWindow, true);

    s.PostSendDelay = 20;
    s.ui.set(ctl::CBPatternSel, Prop::ItemIndex, s.UserMapPatternIndex[std::size_t(outgoing)]);
    if (s.connected())
        HideControlCursor(s, outgoing);

    s.PostSendDelay = 50;
    s.CurrentWindow = w;
    SendSetting(s, FindBinding("VKY")->tpl, 60 + w);
    s.PostSendDelay = 0;
    s.clock.sleepMs(20);

    s.box->warp.state().WarpWindow = w;
    RefreshPages(s);
    RefreshBlendPages(s);

    QCoreApplication::processEvents();
    RunPageShow(s, page);
    s.clock.sleepMs(20);
    QCoreApplication::processEvents();

    // Queued: the page's show may still have requests waiting to go before it.
    if (s.connected())
        s.exchange.post(Request(Cmd::CurrentWindowChanged, Clear::All).u8(8, std::uint8_t(w)));
}

void BtnWinClick(Session& s, int tag)
{
    SelectWindow(s, tag);
}

} // namespace trivel
