#include "session/BoxCommands.h"

#include "protocol/SettingCodec.h"
#include "session/Connection.h"
#include "session/Controls.h"
#include "session/PendingOps.h"
#include "session/Readback.h"
#include "session/Session.h"
#include "session/StatusPoll.h"

namespace trivel {

namespace {

void PutSetting(Session& s, std::uint32_t code, const char* tpl, int value, std::size_t clear)
{
    SettingCommand cmd = MakeSettingCommand(tpl);
    EncodeSettingValue(value, cmd);
    PutSettingFrame(s.RequestBuffer, code, cmd, clear);
}

bool Confirm(Session& s, const QString& text)
{
    return s.ui.message(MsgIcon::Information, QString(), text, MsgButtons::YesNo) == MsgResult::Yes;
}

bool ConfirmOk(Session& s, const QString& caption, const QString& text)
{
    return s.ui.message(MsgIcon::Question, caption, text, MsgButtons::OkCancel) == MsgResult::Ok;
}

// Timer2's pace grows with the number of windows the box has.
int PaceForWindows(const Session& s, int perStep)
{
    return perStep * std::clamp(s.ChannelCount, 1, 4);
}

void ShowResetProgress(Session& s)
{
    SetProgress(s, 0);
    SetProgressMaximum(s, 100);
    s.ui.set(ctl::UpdateStep, Prop::Top, 180);
    s.Timer2->setEnabled(true);
}

void DisconnectTcp(Session& s)
{
    if (s.TcpSelected && s.connection)
        s.connection->BtnCnt2Click();
}

} // namespace

void BtnResetClick(Session& s)
{
    PutSetting(s, Cmd::Setting, "s00RXT+002", 2, 0);
    SendFrame(s);
    s.PendingOp = Op::Reset;
    s.Timer2->setInterval(200);
}

void BtnAllResetClick(Session& s)
{
    if (!Confirm(s, QStringLiteral("Do you want to do all reset?")) || !s.connected())
        return;
    s.PendingOp = Op::AllReset;
    s.PostSendDelay = 80;
    // The corner pair the Warp Adjust cursor points at: column > 0 is right, row > 0 bottom.
    const std::size_t w = std::size_t(s.CurrentWindow & 3);
    const CursorPos& c = s.warp.model[w].ControlCursor;
    const int pair = (c.column > 0 ? 1 : 0) + (c.row > 0 ? 2 : 0);
    PutSetting(s, Cmd::SettingAlt, "s00TLA+000", s.warpAdjust.KeystoneCorners[w][std::size_t(pair)].x + 1,
        kBufferSize);
    SendFrame(s);
}

void BtnPFL(Session& s, int tag)
{
    if (!ConfirmOk(s, QStringLiteral("Load Profile"), QStringLiteral("Do you want to load profile ?")))
        return;
    PutSetting(s, Cmd::Setting, "s00PFA+002", tag, kBufferSize);
    if (!s.connected())
        return;
    s.Timer2->setInterval(PaceForWindows(s, 500));
    SendFrame(s);
    s.PendingOp = Op::ProfileLoad;
}

void BtnPFX(Session& s, int tag)
{
    if (!ConfirmOk(s, QStringLiteral("Save Profile"), QStringLiteral("Do you want to save profile ?")))
        return;
    PutSetting(s, Cmd::Setting, "s00PFV+002", tag, kBufferSize);
    SendFrame(s);
}

void FRstBtnClick(Session& s)
{
    if (!Confirm(s, QStringLiteral("Do you want to do Factory reset?")))
        return;
    // Without a link no reply would ever clear the flag, and the next disconnect would skip
    // the neutral-state requests.
    if (!s.connected())
        return;
    s.FactoryResetPending = true;
    PutSetting(s, Cmd::Setting, "s00VKY+250", 250, kBufferSize);
    SendFrame(s);
    s.PendingOp = Op::FactoryReset;
}

void BtnRebootClick(Session& s)
{
    if (!Confirm(s, QStringLiteral("Do you want to reboot system?")) || !s.connected())
        return;
    s.request().setCode(Cmd::Restart);
    SendFrame(s);
    DisconnectTcp(s);
}

void TmrStatusTimer(Session& s)
{
    if (s.flag(Flag::Rejected) || !s.connected())
        return;
    // A poll whose window-settings reply never came is as unanswered as one without a status
    // reply: poll again rather than wait for it for ever.
    const bool pollPending = s.PendingOp == Op::StatusPoll || s.PendingOp == Op::PollWindowSettings;
    if (s.PendingOp != Op::Idle && !pollPending)
        return;
    if (pollPending)
        StatusPollUnanswered(s);
    s.clearRequest();
    s.request().setCode(Cmd::Status);
    s.PendingOp = Op::StatusPoll;
    SendFrame(s);
}

void Timer2Timer(Session& s)
{
    const int pos = s.ProgressPosition + 10;
    SetProgress(s, pos);
    if (pos < 100)
        return;
    s.Timer2->setEnabled(false);
    if (s.PendingOp == Op::ProfileLoad) {
        s.clearRequest();
        s.request().setCode(Cmd::Identify);
        s.PendingOp = Op::Identify;
    }
    // After a reset this is the window-settings request prepared by step 7000.
    SendFrame(s);
}

void BoxCommandStep(Session& s, int op)
{
    switch (op) {
    case Op::Reset:
        s.clearRequest();
        s.request().setCode(Cmd::ReadWindowSettings);
        s.PendingOp = Op::WindowSettings;
        ShowResetProgress(s);
        break;
    case Op::AllReset:
        PutSetting(s, Cmd::Setting, "s00RXT+001", 1, 0);
        for (auto& m : s.warp.model)
            m.ControlPattern = 0;
        s.warpAdjust.ConfirmedMode.fill(99);
        s.setFlag(Flag::LinkedWarp, false);
        if (s.connected()) {
            s.PostSendDelay = 0;
            s.PendingOp = Op::ProfileLoad;
            SendFrame(s);
            s.Timer2->setInterval(PaceForWindows(s, 600));
        }
        break;
    case Op::ProfileLoad:
        ShowResetProgress(s);
        break;
    case Op::FactoryReset:
        s.PendingOp = Op::Idle;
        DisconnectTcp(s);
        s.FactoryResetPending = false;
        break;
    default:
        break;
    }
}

} // namespace trivel
