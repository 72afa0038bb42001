// Settings::apply: the frames a control sends, its cache, the window it selects first, and how
// it ends when the value is refused, the box stays silent, answers wrongly or the link goes.

#include "box/Box.h"
#include "link/Clock.h"
#include "session/Session.h"
#include "settings/Settings.h"
#include "support/FakeBoxTransport.h"
#include "support/RecordingUi.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace trivel;
using namespace trivel::test;

namespace {

using Lines = std::vector<std::string>;

struct ApplyRig {
    VirtualClock clock;
    RecordingUi ui;
    Box tool{clock, ui};
    Session& s = tool.session;
    Settings& settings = tool.settings;
    sim::BoxModel box;
    FakeBoxTransport link{box};

    ApplyRig()
    {
        link.delivery = Delivery::Synchronous;
        link.attach(s);
    }

    // Runs apply to its end; the request lines it sent.
    Lines run(Setting id, int window, int value, Operation<void>* out = nullptr)
    {
        link.clearLog();
        const Operation<void> op = settings.apply(id, window, value);
        RunUntilIdle(s);
        EXPECT_TRUE(op.finished());
        if (out)
            *out = op;
        return link.log;
    }
};

TEST(SettingsApply, SendsWhatTheControlSendsAndKeepsTheValue)
{
    const struct {
        const char* what;
        Setting id;
        int value;
        Lines sent;
        int cached;
    } cases[] = {
        {"a plain slider", Setting::BRI, 61, {"1002 s00BRI+061"}, 61},
        {"sharpness in tens", Setting::XHA, 7, {"1002 s00XHA+070"}, 7},
        {"zoom counted from 0", Setting::HZM, 3, {"1002 s00HZM+002"}, 3},
        {"an overscan below zero", Setting::OLE, -1200, {"1002 s00OLE9200"}, -1200},
        {"an edge without blend", Setting::BEB, 0, {"1002 s00BEB+000"}, 0},
        {"the lowest edge position is no blend", Setting::LEB, 49, {"1002 s00LEB+000"}, 0},
        {"an edge width", Setting::REB, 300, {"1002 s00REB+300"}, 300},
        {"a VGA input without a code", Setting::VGE, 0, {"1002 s00VGE+000"}, 0},
        {"the black level goes to its region's point first", Setting::BCG, 30,
            {"1002 s0095I+022", "1002 s00BCG+030"}, 30},
        {"a PIP group", Setting::POR, 5, {"1002 s00POR+005"}, 5},
        {"deep colour", Setting::DCM, 1, {"1002 s00DCM+001"}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ApplyRig r;
        r.s.settings().SelectedRegion[0] = 4; // the centre, point 22
        Operation<void> op;
        EXPECT_EQ(r.run(c.id, 0, c.value, &op), c.sent);
        EXPECT_TRUE(op.succeeded());
        EXPECT_EQ(r.settings.value(c.id, 0), c.cached);
    }
}

TEST(SettingsApply, AnotherWindowIsSelectedFirstAndKeepsItsOwnValue)
{
    ApplyRig r;
    EXPECT_EQ(r.run(Setting::BRI, 2, 33), (Lines{"2007", "1002 s00VKY+062", "2015", "1002 s00BRI+033"}));
    EXPECT_EQ(r.s.CurrentWindow, 2);
    EXPECT_EQ(r.box.settings().currentWindow, 2);
    EXPECT_EQ(r.settings.value(Setting::BRI, 2), 33);
    EXPECT_EQ(r.settings.value(Setting::BRI, 0), 0) << "window 1's cache untouched";
    EXPECT_FALSE(r.settings.selectingWindow());
    // The point of a region is selected once per window.
    r.s.settings().SelectedRegion[2] = 0;
    EXPECT_EQ(r.run(Setting::BCR, 2, 9), (Lines{"1002 s0095I+000", "1002 s00BCR+009"}));
    EXPECT_EQ(r.run(Setting::BCB, 2, 8), (Lines{"1002 s00BCB+008"}));
}

TEST(SettingsApply, RefusesWhatNoControlTakesAndSendsNothing)
{
    const struct {
        Setting id;
        int value;
        const char* reason;
    } cases[] = {
        {Setting::MDN, 3, "MDN is read-only"},
        {Setting::RXT, 1, "RXT is read-only"}, // a command of its own, no control
        {Setting::BRI, 101, "BRI=101 is out of range"},
        {Setting::LEB, 30, "LEB=30 is out of range"},
        {Setting::VGE, 1, "VGE=1 is out of range"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        ApplyRig r;
        Operation<void> op;
        EXPECT_TRUE(r.run(c.id, 0, c.value, &op).empty());
        ASSERT_TRUE(op.failure());
        EXPECT_EQ(op.failure()->kind, Failure::Kind::Refused);
        EXPECT_EQ(op.failure()->reason, QString::fromLatin1(c.reason));
    }
}

TEST(SettingsApply, EndsFailedWhenTheBoxDoesNotAnswerItsRequest)
{
    enum class Fault { Silent, WrongCode, Closed };
    const struct {
        Fault fault;
        Failure::Kind kind;
    } cases[] = {
        {Fault::Silent, Failure::Kind::NoReply},
        {Fault::WrongCode, Failure::Kind::BoxFault},
        {Fault::Closed, Failure::Kind::LinkLost},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.fault));
        ApplyRig r;
        r.link.delivery = Delivery::Pumped;
        r.link.silent = c.fault == Fault::Silent;
        r.link.tamper = [&c](std::vector<std::uint8_t>& reply) {
            if (c.fault == Fault::WrongCode)
                reply[kCodeOffset] ^= 0x40;
        };
        const Operation<void> op = r.settings.apply(Setting::CON, 0, 40);
        if (c.fault == Fault::Closed)
            r.s.exchange.detach(QStringLiteral("link closed"));
        r.link.pump();
        r.clock.advance(kReplyAllowanceMs);
        ASSERT_TRUE(op.finished());
        ASSERT_TRUE(op.failure());
        EXPECT_EQ(op.failure()->kind, c.kind);
        EXPECT_EQ(r.link.log, Lines{"1002 s00CON+040"});
    }
}

} // namespace
