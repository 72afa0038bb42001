// The box-backed ports: each call made on a thread of the procedure's becomes the subsystem
// chains' frames on the session's thread, and waits for their replies there. The box is
// BoxModel behind the fake transport on the virtual clock.

#include "align/BoxPorts.h"
#include "box/Box.h"
#include "protocol/Frame.h"
#include "session/Session.h"
#include "session/Session.h"
#include "support/FakeBoxTransport.h"
#include "support/RecordingUi.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

using namespace trivel;
using namespace trivel::align;

namespace {

struct PortsFixture {
    VirtualClock clock;
    test::RecordingUi ui;
    Box tool{clock, ui};
    Session& s = tool.session;
    sim::BoxModel model;
    test::FakeBoxTransport link{model};
    QObject context;
    SessionThread thread{context};
    QStringList saved;
    BoxPorts ports{{s, tool.settings, tool.warp, tool.masks}, thread, [this](QString& as, QString&) {
                       as = QStringLiteral("undo.WBF");
                       saved << as;
                       return true;
                   }};

    PortsFixture()
    {
        link.setReplySink(
            [this](const std::uint8_t* b, std::size_t n, bool rid) { DeliverReply(s, b, n, rid); });
        s.setTransport(&link);
        s.setFlag(Flag::Connected, true);
        link.useClock(&clock);
    }
    ~PortsFixture() { s.setTransport(nullptr); }

    // Runs `call` on a thread of its own while this one serves the session.
    bool onWorker(const std::function<bool(QString&)>& call, QString& error)
    {
        std::atomic<bool> done{false};
        bool ok = false;
        std::thread worker([&] {
            ok = call(error);
            done = true;
        });
        QDeadlineTimer stuck(60000); // a guard against a hang only
        while (!done && !stuck.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            if (s.busy())
                clock.runNextDelay();
            else
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
        worker.join();
        return ok;
    }
    int count(std::uint32_t code) const
    {
        return int(std::count(link.sentCodes.begin(), link.sentCodes.end(), code));
    }
};

struct PortCase {
    const char* name;
    std::function<bool(BoxPorts&, QString&)> call;
    // Request codes as they go out, in order, and settings sent (the log's text after the code).
    std::vector<std::uint32_t> codes;
    QStringList settings;
};

const PortCase kCases[] = {
    {"PatternOnWindow3", [](BoxPorts& p, QString& e) { return p.showMask(2, MaskBytes(1000, 0x11), e); },
        {Cmd::MaskUploadMono, Cmd::MaskUploadMono, Cmd::MaskUploadMono, Cmd::MaskShow}, {}},
    {"GridOnWindow2",
        [](BoxPorts& p, QString& e) {
            return p.showGrid(1, GridSpec{40, 3}, e);
        },
        {}, {"s00GRD+040"}},
    {"BlankAfterTheGridTurnsThePatternColourOff",
        [](BoxPorts& p, QString& e) {
            return p.showGrid(0, GridSpec{40, 3}, e) && p.blank(0, e);
        },
        {}, {"s00GRD+040"}},
    {"PointsOfWindow4",
        [](BoxPorts& p, QString& e) {
            GridArray<OffsetPair> offsets{};
            offsets[3][5] = {12, -7};
            return p.sendPointOffsets(3, offsets, e);
        },
        {Cmd::PointModeChunk, Cmd::PointModeChunk, Cmd::PointModeChunk, Cmd::PointModeEnter}, {}},
    {"BlendOfWindow2",
        [](BoxPorts& p, QString& e) {
            BlendPlan b;
            b.width = {0, 310, 20, 0}; // 20: below the control's least, so no blend
            return p.sendBlend(1, b, e);
        },
        {}, {"s00REB+310", "s00TEB+000", "s00EBR+220", "s00GGR+050", "s00EBL+100"}},
};

} // namespace

TEST(AlignBoxPorts, EachCallIsTheChainsFramesForItsWindow)
{
    for (const PortCase& c : kCases) {
        SCOPED_TRACE(c.name);
        PortsFixture f;
        QString error;
        ASSERT_TRUE(f.onWorker([&](QString& e) { return c.call(f.ports, e); }, error)) << qPrintable(error);
        if (!c.codes.empty())
            EXPECT_EQ(f.link.sentCodes, c.codes);
        for (const QString& setting : c.settings) {
            const auto it = std::find_if(f.link.log.begin(), f.link.log.end(),
                [&](const std::string& line) { return QString::fromStdString(line).contains(setting); });
            EXPECT_NE(it, f.link.log.end())
                << qPrintable(setting) << " in " << (f.link.log.empty() ? "" : f.link.log.back());
        }
    }
}

TEST(AlignBoxPorts, FramesCarryTheWindowAndTheBoxShowsWhatWasSent)
{
    PortsFixture f;
    QString error;
    // The mask stream as it is, in 480-byte pieces for window 3, then shown there.
    MaskBytes stream(1000);
    for (std::size_t i = 0; i < stream.size(); ++i)
        stream[i] = std::uint8_t(i * 7);
    ASSERT_TRUE(f.onWorker([&](QString& e) { return f.ports.showMask(2, stream, e); }, error));
    ASSERT_EQ(f.link.sent.size(), 4u);
    const FrameView last(f.link.sent[2].data(), f.link.sent[2].size());
    EXPECT_EQ(last.u8(8), 2); // window 3 on the wire
    EXPECT_EQ(last.u32(12), 960u);
    EXPECT_EQ(last.u32(16), 1000u);
    EXPECT_EQ(last.u8(20), std::uint8_t(960 * 7));

    // The grid's white pattern colour is on the box for window 2, and blank takes it off.
    ASSERT_TRUE(f.onWorker([&](QString& e) { return f.ports.showGrid(1, GridSpec{60, 3}, e); }, error));
    EXPECT_EQ(f.model.window(1).patternColour, 7);
    EXPECT_EQ(f.s.CurrentWindow, 1);
    ASSERT_TRUE(f.onWorker([&](QString& e) { return f.ports.blank(1, e); }, error));
    EXPECT_EQ(f.model.window(1).patternColour, 0);

    // Tables: the User Map transfer of window 4, applied there.
    SourceTables t;
    t.x.assign(std::size_t(kSourceTableEntries), 0x1234);
    t.y.assign(std::size_t(kSourceTableEntries), 0x0567);
    f.link.clearLog();
    ASSERT_TRUE(f.onWorker([&](QString& e) { return f.ports.sendTables(3, t, e); }, error))
        << qPrintable(error);
    EXPECT_EQ(f.count(Cmd::UserMapSourceX), 44);
    EXPECT_EQ(f.count(Cmd::UserMapSourceY), 44);
    EXPECT_EQ(f.link.sentCodes.back(), Cmd::UserMapApply);
    EXPECT_TRUE(f.model.showsUserMap(3));
    t.x.pop_back(); // tables that are not whole are refused before anything is sent
    f.link.clearLog();
    EXPECT_FALSE(f.onWorker([&](QString& e) { return f.ports.sendTables(3, t, e); }, error));
    EXPECT_TRUE(error.contains(QLatin1String("window 4"))) << qPrintable(error);
    EXPECT_TRUE(f.link.sentCodes.empty());

    // The undo file is saved on the session's thread through the hook.
    QString as;
    ASSERT_TRUE(f.onWorker([&](QString& e) { return f.ports.saveUndoFile(as, e); }, error));
    EXPECT_EQ(as, QStringLiteral("undo.WBF"));
}

// A stop ends a wait at once and refuses every call after it; nothing more goes to the box.
TEST(AlignBoxPorts, AStopEndsTheWaitsAndRefusesWhatFollows)
{
    PortsFixture f;
    QString error;
    f.thread.stop(QStringLiteral("the window was closed"));
    EXPECT_FALSE(f.onWorker([&](QString& e) { return f.ports.showMask(0, MaskBytes(10, 1), e); }, error));
    EXPECT_TRUE(error.contains(QLatin1String("the window was closed"))) << qPrintable(error);
    EXPECT_TRUE(error.contains(QLatin1String("window 1"))) << qPrintable(error);
    EXPECT_TRUE(f.link.sentCodes.empty());
    // Called on the session's own thread it would wait for itself: refused.
    PortsFixture g;
    EXPECT_FALSE(g.ports.blank(0, error));
    EXPECT_TRUE(error.contains(QLatin1String("session's thread"))) << qPrintable(error);
}
