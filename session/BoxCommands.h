#pragma once
// Box-wide commands and the timers that pace them: reset, all reset, profiles, factory
// reset, reboot, the status poll.

namespace trivel {

class Session;

void BtnResetClick(Session& s);
void BtnAllResetClick(Session& s);
void BtnRebootClick(Session& s);
void FRstBtnClick(Session& s);
void BtnPFL(Session& s, int tag); // load profile tag 0..4
void BtnPFX(Session& s, int tag); // save profile tag 0..4
void TmrStatusTimer(Session& s);
void Timer2Timer(Session& s);

// Steps 7000 (reset), 7099 and 7100 (all reset, profile load) and 39321 (factory reset).
void BoxCommandStep(Session& s, int op);

} // namespace trivel
