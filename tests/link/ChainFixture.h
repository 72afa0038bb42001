#pragma once
// A session on a virtual clock, a recording UI that also logs the order of screen events, and
// the simulated box behind a link that hands a reply over only when the test pumps it.

#include "link/Clock.h"
#include "box/Box.h"
#include "box/Readback.h"
#include "session/Session.h"
#include "box/StatusPoll.h"
#include "sim/BoxModel.h"
#include "support/FakeBoxTransport.h"
#include "support/RecordingUi.h"

#include <gtest/gtest.h>

namespace trivel::test {

// A plain two-window box, model 400, whose stored state is recognisable: every window and field
// holds a value of its own, so a reply landing in the wrong cache shows.
sim::BoxModel ChainBox();

// Stores a mask slot as the box holds it: a header whose size field says `sizeField` bytes follow,
// then `payload` bytes each holding the low byte of its offset in the slot. Slot 9 is the colour one.
void StoreMaskSlot(sim::BoxModel& box, int slot, std::uint32_t sizeField, std::size_t payload);

// Plugs inputs into the windows of `mask` (window w: 1920 - w by 1080 - w) and unplugs the others.
void PlugInputs(sim::BoxModel& box, int mask);

class TrackingUi : public RecordingUi {
public:
    std::vector<std::string> events; // "refresh", "close", "open"
    std::vector<int> waitPositions;

    // Records the page refreshes and window-button clicks a session asks for.
    void track(SessionEvents& e)
    {
        watch(e);
        QObject::connect(&e, &SessionEvents::refreshPages, [this] { events.push_back("refresh"); });
        QObject::connect(&e, &SessionEvents::windowButtonClicked,
            [this](int tag) { events.push_back("click BtnWin" + std::to_string(tag + 1)); });
    }

protected:
    void waitWindowChanged() override
    {
        if (waitWindowOpen() != m_wasOpen)
            events.push_back(waitWindowOpen() ? "open" : "close");
        m_wasOpen = waitWindowOpen();
        waitPositions.push_back(waitProgress());
    }

private:
    bool m_wasOpen = false;
};

class ChainTest : public ::testing::Test {
protected:
    VirtualClock clock;
    TrackingUi ui;
    Box tool{clock, ui};
    Session& s = tool.session;
    sim::BoxModel box = ChainBox();
    FakeBoxTransport link{box};

    ChainTest()
    {
        ui.track(s.events);
        ApplyChannelLayout(s, false); // the start-up layout
        link.delivery = Delivery::Pumped;
    }

    // Connects the box and runs the connect exchange to its end.
    void connectAndRead()
    {
        link.attach(s);
        SendIdentify(s);
        link.pump();
    }

    // The wait window's progress just before FinishReadback sets it to its maximum.
    int progressBeforeFinish() const
    {
        for (auto it = ui.waitPositions.rbegin(); it != ui.waitPositions.rend(); ++it)
            if (*it != ui.waitMaximum())
                return *it;
        return -1;
    }
};

} // namespace trivel::test
