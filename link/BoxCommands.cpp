#include "link/BoxCommands.h"

#include "link/Session.h"

namespace trivel {

void BtnResetClick(Session&) { }
void BtnAllResetClick(Session&) { }
void BtnRebootClick(Session&) { }
void FRstBtnClick(Session&) { }
void BtnPFL(Session&, int) { }
void BtnPFX(Session&, int) { }
void TmrStatusTimer(Session&) { }
void Timer2Timer(Session&) { }

} // namespace trivel
