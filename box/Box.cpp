#include "box/Box.h"

namespace trivel {

Box::Box(Clock& clock, UiPort& ui)
    : session(clock, ui)
    , registers(session)
    , firmware(session)
{
}

Box::~Box()
{
    // Operations of a subsystem may still wait on the link: they go before the subsystem does.
    session.exchange.abandonAll();
}

} // namespace trivel
