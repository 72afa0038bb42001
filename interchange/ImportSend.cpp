#include "interchange/ImportSend.h"

#include "box/Box.h"

namespace trivel {

Operation<void> SendImportPlan(Box& box, ImportPlan plan)
{
    Session& s = box.session;
    if (!s.connected())
        Fail(Failure::Kind::LinkLost, QStringLiteral("no box is connected"));
    if (plan.window < 0 || plan.window >= s.ChannelCount)
        Fail(Failure::Kind::Refused, QStringLiteral("the box has windows 1..%1").arg(s.ChannelCount));
    co_await box.settings.selectWindow(plan.window);
    Warp& warp = box.warp;
    if (plan.pointOffsets) {
        // Entering the mode expands the window's grid to 17x17 points; the plan's offsets then
        // take their place. It posts its frames, and is refused while the exchange is held.
        warp.enterPointMode();
        if (warp.model(plan.window).ControlPattern != WarpMode::Points)
            Fail(Failure::Kind::Refused,
                QStringLiteral("window %1 cannot enter point mode").arg(plan.window + 1));
    }
    const auto hold = s.exchange.hold();
    ApplyImportPlan(plan, warp.state(), box.settings.state().BlendSettings[std::size_t(plan.window)]);
    if (plan.pointOffsets)
        co_await warp.sendPointOffsets();
    else
        co_await warp.transferTables();
    co_await box.settings.sendBlendRecord();
}

} // namespace trivel
