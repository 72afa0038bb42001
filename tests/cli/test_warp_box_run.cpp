// trivelctl's warp commands against a box model on a virtual clock: exit 0 only once the last
// reply of the command is in; a box that falls silent or hangs up part-way gives exit 3 with the
// reason on stderr, never 0 and never a hang.

#include "box/Box.h"
#include "cli/WarpBoxRun.h"
#include "session/Session.h"
#include "support/FakeBoxTransport.h"
#include "support/RecordingUi.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>

namespace trivel::test {
namespace {

enum class Fault { None, Silent, Closes };

struct WarpRun {
    VirtualClock clock;
    RecordingUi ui;
    sim::BoxModel box;
    FakeBoxTransport link{box};
    Box tool{clock, ui};
    Session& s = tool.session;
    QString out, err;
    int replies = 0;

    WarpRun() { link.attach(s); }

    // After `n` replies the box answers no more, and with Closes hangs up as well.
    void failAfter(Fault fault, int n)
    {
        box.replyHook = [this, fault, n](std::uint32_t, std::vector<std::uint8_t>&) {
            if (fault == Fault::None || replies < n) {
                ++replies;
                return true;
            }
            if (fault == Fault::Closes)
                QTimer::singleShot(0, &link, [this] {
                    link.close();
                    s.exchange.detach(QStringLiteral("closed by the box"));
                    s.setFlag(Flag::Connected, false);
                });
            return false;
        };
    }

    int run(WarpJob job)
    {
        QTextStream o(&out), e(&err);
        // Replies come on the next turn; the operations' pauses and reply allowances pass on the
        // virtual clock. A run that never settles ends the loop, and the test sees it.
        const WarpRunUntil loop = [this](const std::function<bool()>& decided) {
            for (int turn = 0; turn < 100000 && !decided(); ++turn) {
                QCoreApplication::processEvents();
                if (!decided() && !clock.runNextDelay())
                    clock.advance(500);
            }
        };
        return RunWarpJob(tool, job, loop, o, e);
    }

    bool sent(const std::string& line) const
    {
        return std::find(link.log.begin(), link.log.end(), line) != link.log.end();
    }
};

WarpJob Mode3x3()
{
    WarpJob j;
    j.command = QStringLiteral("mode");
    j.mode = WarpMode::Grid3x3;
    return j;
}

WarpJob Nudge(int dx)
{
    WarpJob j;
    j.command = QStringLiteral("nudge");
    j.dx = dx;
    return j;
}

WarpJob Map(const char* command, int slot)
{
    WarpJob j;
    j.command = QString::fromLatin1(command);
    j.slot = slot;
    return j;
}

// Replies each command needs, the window selection's two included.
constexpr int kModeReplies = 8; // VKY, 0x7002, 95I, cursor, WPM, three warp blocks
constexpr int kNudgeReplies = 5; // VKY, 0x7002, 95I, cursor, 95X
constexpr int kSaveReplies = 4; // VKY, 0x7002, save, WPM

TEST(WarpRun, ExitZeroOnlyOnceTheLastReplyIsIn)
{
    const struct {
        const char* name;
        WarpJob job;
        int replies;
    } commands[] = {
        {"mode", Mode3x3(), kModeReplies},
        {"nudge", Nudge(5), kNudgeReplies},
        {"save-map", Map("save-map", 2), kSaveReplies},
    };
    const struct {
        Fault fault;
        int after; // replies before the fault, counted back from the command's last (-1: that one)
        int exit;
        const char* says;
    } cases[] = {
        {Fault::None, 0, WarpDone, ""},
        {Fault::Silent, -1, WarpLinkFailure, "no reply from the box"},
        {Fault::Closes, -1, WarpLinkFailure, "the link closed"},
        {Fault::Silent, -100, WarpLinkFailure, "no reply from the box"}, // silent from the start
        {Fault::Closes, -100, WarpLinkFailure, "the link closed"},
        {Fault::Silent, -3, WarpLinkFailure, "no reply from the box"},
    };
    for (const auto& command : commands) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(command.name) + " after " + std::to_string(c.after));
            WarpRun f;
            // A nudge moves a point of the 3x3 grid; the mode command starts from warp off.
            if (command.job.command == QLatin1String("nudge"))
                f.tool.warp.model(0).ControlPattern = WarpMode::Grid3x3;
            f.failAfter(c.fault, std::max(command.replies + c.after, 0));
            EXPECT_EQ(f.run(command.job), c.exit) << f.err.toStdString();
            EXPECT_TRUE(f.err.contains(QLatin1String(c.says))) << f.err.toStdString();
            EXPECT_EQ(f.out.isEmpty(), c.exit != WarpDone) << "a result only for a run that went through";
            if (c.fault == Fault::None) {
                EXPECT_EQ(f.replies, command.replies);
            }
        }
    }
}

TEST(WarpRun, ANudgeBeyondTheLimitSaysItWasClamped)
{
    WarpRun f;
    f.tool.warp.model(0).ControlPattern = WarpMode::Grid3x3;
    EXPECT_EQ(f.run(Nudge(700)), WarpDone) << f.err.toStdString();
    EXPECT_TRUE(f.err.contains("--dx 700 takes the offset to 700: clamped to 600")) << f.err.toStdString();
    EXPECT_TRUE(f.out.contains("Offset: 600,0")) << f.out.toStdString();
    EXPECT_TRUE(f.sent("100c S0095X+600"));

    f.err.clear();
    f.out.clear();
    EXPECT_EQ(f.run(Nudge(-5)), WarpDone);
    EXPECT_FALSE(f.err.contains("clamped"));
    EXPECT_TRUE(f.out.contains("Offset: 595,0")) << f.out.toStdString();
}

TEST(WarpRun, LoadingAnEmptySlotLeavesTheSelectionAlone)
{
    WarpRun f;
    f.tool.warp.model(0).ControlPattern = WarpMode::Grid9x5;
    EXPECT_EQ(f.run(Map("load-map", 4)), WarpRefused);
    EXPECT_TRUE(f.err.contains("slot 5 holds no map")) << f.err.toStdString();
    EXPECT_FALSE(f.sent("1002 s00WPM+010")) << "the empty slot was never selected";
    EXPECT_EQ(f.tool.warp.model(0).ControlPattern, WarpMode::Grid9x5);
    EXPECT_EQ(f.box.window(0).controlPattern, 0);
}

TEST(WarpRun, AMapSavedLoadsBackAndALoadCutShortIsALinkFailure)
{
    // The same load on a good box, and on boxes that stop half-way through the map's blocks.
    for (const Fault fault : {Fault::None, Fault::Silent, Fault::Closes}) {
        SCOPED_TRACE(int(fault));
        WarpRun f;
        f.tool.warp.model(0).ControlPattern = WarpMode::Points;
        f.tool.warp.model(0).WarpPattern = Pattern17x17;
        ASSERT_EQ(f.run(Map("save-map", 6)), WarpDone) << f.err.toStdString();
        f.out.clear();
        f.link.clearLog();
        // The window selection, the slot's check, its selection, the load's query, one block.
        f.failAfter(fault, 6);
        const int exit = f.run(Map("load-map", 6));
        EXPECT_TRUE(f.sent("1002 s00WPM+012"));
        if (fault == Fault::None) {
            EXPECT_EQ(exit, WarpDone) << f.err.toStdString();
            EXPECT_TRUE(f.out.contains("ControlPattern: 100")) << f.out.toStdString();
        } else {
            EXPECT_EQ(exit, WarpLinkFailure) << f.err.toStdString();
            EXPECT_TRUE(f.out.isEmpty());
        }
    }
}

} // namespace
} // namespace trivel::test
