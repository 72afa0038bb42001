#pragma once
// A session on a virtual clock, a recording UI that also logs the order of screen events, and
// a scripted box.

#include "ReadbackBox.h"
#include "link/Clock.h"
#include "session/StatusPoll.h"
#include "session/Readback.h"
#include "session/Session.h"
#include "support/RecordingUi.h"

#include <gtest/gtest.h>

namespace trivel::test {

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
    Session s{clock, ui};

    ChainTest()
    {
        ui.track(s.events);
        ApplyChannelLayout(s, false); // the start-up layout
    }

    // Connects `box` and runs the connect exchange to its end.
    void connectAndRead(ReadbackBox& box)
    {
        box.attach(s);
        SendIdentify(s);
        box.pump();
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
