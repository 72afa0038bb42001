#include "box/Box.h"

namespace trivel {

Box::Box(Clock& clock, UiPort& ui)
    : session(clock, ui)
    , settings(session)
    , registers(session)
    , warp(session)
    , firmware(session)
    , masks(session, [this](int window) {
        const WarpModel& m = warp.model(window);
        return std::pair{m.frameWidth, m.frameHeight};
    })
{
    session.box = this;
}

Box::~Box()
{
    // Operations of a subsystem may still wait on the link: they go before the subsystem does.
    session.exchange.abandonAll();
}

} // namespace trivel
