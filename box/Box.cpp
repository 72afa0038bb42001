#include "box/Box.h"

#include "warp/Controls.h"

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
    settings.setWarpSide({
        .leave =
            [this](int w) {
                session.ui.set(
                    ctl::CBPatternSel, Prop::ItemIndex, session.UserMapPatternIndex[std::size_t(w & 3)]);
                const CursorPos c = warp.model(w).ControlCursor;
                return c.row * 9 + c.column;
            },
        .enter = [this](int w) { warp.state().WarpWindow = w; },
    });
}

Box::~Box()
{
    // Operations of a subsystem may still wait on the link: they go before the subsystem does.
    session.exchange.abandonAll();
}

} // namespace trivel
