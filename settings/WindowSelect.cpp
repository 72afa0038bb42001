#include "box/PageShow.h"
#include "protocol/SessionFrames.h"
#include "protocol/SettingFrames.h"
#include "session/Session.h"
#include "settings/Settings.h"

namespace trivel {

namespace {

// While it runs, CurrentWindow and the box's window disagree: warp moves and cursor steps wait.
struct Selecting {
    explicit Selecting(Session& s)
        : s(s)
    {
        s.SelectingWindow = true;
    }
    ~Selecting() { s.SelectingWindow = false; }
    Session& s;
};

} // namespace

bool Settings::selectingWindow() const
{
    return m_s.SelectingWindow;
}

Operation<void> Settings::selectWindow(int window)
{
    if (window < 0 || window > 3)
        return Finished();
    m_selection = runSelection(window);
    return m_selection;
}

Operation<void> Settings::runSelection(int w)
{
    const auto hold = m_s.exchange.hold();
    const Selecting selecting(m_s);
    const int page = m_s.ActivePage;
    const int outgoing = m_s.CurrentWindow & 3;

    // The warp cursor of the window being left is hidden; the box keeps showing it otherwise.
    const int point = m_warpSide.leave ? m_warpSide.leave(outgoing) : 0;
    co_await transmit(proto::NeutralControlCursor(outgoing, point), 20);

    m_s.CurrentWindow = w;
    co_await sendValue(Setting::VKY, 60 + w, 50);
    co_await m_s.exchange.delay(20);

    if (m_warpSide.enter)
        m_warpSide.enter(w);
    RefreshPages(m_s);
    RefreshBlendPages(m_s);

    co_await ShowPage(m_s, page);
    co_await m_s.exchange.delay(20);
    co_await transmit(proto::CurrentWindowChanged(w));
}

} // namespace trivel
