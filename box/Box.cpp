#include "box/Box.h"

namespace trivel {

Box::Box(Clock& clock, UiPort& ui)
    : session(clock, ui)
    , registers(session)
    , warp(session)
{
    session.box = this;
}

} // namespace trivel
