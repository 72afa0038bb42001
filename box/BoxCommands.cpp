#include "box/BoxCommands.h"

#include "box/Box.h"
#include "box/Connection.h"
#include "box/Readback.h"
#include "protocol/SettingCodec.h"
#include "session/Controls.h"
#include "session/Session.h"

namespace trivel {

namespace {

Request SettingRequest(std::uint32_t code, const char* tpl, int value, Clear clear)
{
    SettingCommand cmd = MakeSettingCommand(tpl);
    EncodeSettingValue(value, cmd);
    return Request(code, clear).setting(cmd);
}

bool Confirm(Session& s, const QString& text)
{
    return s.ui.message(MsgIcon::Information, QString(), text, MsgButtons::YesNo) == MsgResult::Yes;
}

bool ConfirmOk(Session& s, const QString& caption, const QString& text)
{
    return s.ui.message(MsgIcon::Question, caption, text, MsgButtons::OkCancel) == MsgResult::Ok;
}

// The box settles while the progress bar fills in ten steps; each step is longer on a box with
// more windows.
Operation<void> PaceProgress(Session& s, int stepMs)
{
    SetProgress(s, 0);
    SetProgressMaximum(s, 100);
    s.ui.set(ctl::UpdateStep, Prop::Top, 180);
    for (;;) {
        co_await s.exchange.delay(stepMs, DelayKind::Tick);
        const int pos = s.ProgressPosition + 10;
        SetProgress(s, pos);
        if (pos >= 100)
            break;
    }
}

int PacePerWindow(const Session& s, int ms)
{
    return ms * std::clamp(s.ChannelCount, 1, 4);
}

void DisconnectTcp(Session& s)
{
    if (s.TcpSelected && s.connection)
        s.connection->BtnCnt2Click();
}

Operation<void> ReadBackAfter(Session& s, ReadbackStart start)
{
    s.readback = ReadBack(s, start);
    co_await s.readback;
}

} // namespace

Operation<void> ResetSettings(Session& s)
{
    const auto hold = s.exchange.hold();
    co_await s.exchange.send(SettingRequest(Cmd::Setting, "s00RXT+002", 2, Clear::None));
    co_await PaceProgress(s, 200);
    co_await ReadBackAfter(s, ReadbackStart::WindowSettings);
}

Operation<void> ResetAll(Session& s)
{
    if (!Confirm(s, QStringLiteral("Do you want to do all reset?")) || !s.connected())
        co_return;
    const auto hold = s.exchange.hold();
    // The corner pair the Warp Adjust cursor points at: column > 0 is right, row > 0 bottom.
    const std::size_t w = std::size_t(s.CurrentWindow & 3);
    Warp& warp = s.box->warp;
    const CursorPos& c = warp.model(int(w)).ControlCursor;
    const int pair = (c.column > 0 ? 1 : 0) + (c.row > 0 ? 2 : 0);
    const int corner = warp.adjust().KeystoneCorners[w][std::size_t(pair)].x + 1;
    co_await s.exchange.send(SettingRequest(Cmd::SettingAlt, "s00TLA+000", corner, Clear::All), {.pauseMs = 80});
    for (auto& m : warp.state().model)
        m.ControlPattern = 0;
    warp.adjust().ConfirmedMode.fill(99);
    s.setFlag(Flag::LinkedWarp, false);
    co_await s.exchange.send(SettingRequest(Cmd::Setting, "s00RXT+001", 1, Clear::None));
    co_await PaceProgress(s, PacePerWindow(s, 600));
    co_await ReadBackAfter(s, ReadbackStart::Identify);
}

Operation<void> LoadProfile(Session& s, int profile)
{
    if (!ConfirmOk(s, QStringLiteral("Load Profile"), QStringLiteral("Do you want to load profile ?"))
        || !s.connected())
        co_return;
    const auto hold = s.exchange.hold();
    co_await s.exchange.send(SettingRequest(Cmd::Setting, "s00PFA+002", profile, Clear::All));
    co_await PaceProgress(s, PacePerWindow(s, 500));
    co_await ReadBackAfter(s, ReadbackStart::Identify);
}

Operation<void> SaveProfile(Session& s, int profile)
{
    if (!ConfirmOk(s, QStringLiteral("Save Profile"), QStringLiteral("Do you want to save profile ?"))
        || !s.connected())
        co_return;
    co_await s.exchange.send(SettingRequest(Cmd::Setting, "s00PFV+002", profile, Clear::All));
}

Operation<void> FactoryReset(Session& s)
{
    // Without a link no reply would ever clear the flag, and the next disconnect would skip
    // the neutral-state requests.
    if (!Confirm(s, QStringLiteral("Do you want to do Factory reset?")) || !s.connected())
        co_return;
    s.FactoryResetPending = true;
    try {
        co_await s.exchange.send(SettingRequest(Cmd::Setting, "s00VKY+250", 250, Clear::All));
    } catch (const OperationFailure&) {
        s.FactoryResetPending = false;
        throw;
    }
    DisconnectTcp(s);
    s.FactoryResetPending = false;
}

Operation<void> Reboot(Session& s)
{
    if (!Confirm(s, QStringLiteral("Do you want to reboot system?")) || !s.connected())
        co_return;
    // Written over the previous frame; the box restarts without an answer.
    co_await s.exchange.send(Request(Cmd::Restart, Clear::None), {.awaitReply = false});
    DisconnectTcp(s);
}

} // namespace trivel
