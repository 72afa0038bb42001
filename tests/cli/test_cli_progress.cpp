// The progress line every long command shares, the words beside the box's numbers, and the hosts
// file read as the user wrote it.

#include "cli/FleetCommand.h"
#include "cli/ProgressLine.h"
#include "cli/WarpBoxRun.h"
#include "warp/WarpAdjustState.h"

#include <gtest/gtest.h>

namespace {

using namespace trivel;
using cli::ProgressLine;

struct Screen {
    QByteArray text;
    qint64 now = 0;
    ProgressLine::Output output(bool terminal)
    {
        ProgressLine::Output o;
        o.terminal = terminal;
        o.write = [this](const QByteArray& b) { text += b; };
        o.nowMs = [this] { return now; };
        return o;
    }
    QStringList lines() const { return QString::fromLatin1(text).split('\n', Qt::SkipEmptyParts); }
};

TEST(ProgressLine, ALineAnUpdateOffATerminalWithCountRateAndTimeLeft)
{
    Screen screen;
    {
        ProgressLine line("firmware", 4096, "bytes", screen.output(false));
        line.update(0);
        screen.now = 1000;
        line.update(1024);
        line.update(1030); // the same percent: nothing new to say
        screen.now = 2000;
        line.update(2048, "window 2 of 4");
        line.update(1024, "window 2 of 4"); // a count going back shows the furthest point
        screen.now = 4000;
        line.update(4096, "window 2 of 4");
    }
    const QStringList lines = screen.lines();
    ASSERT_EQ(lines.size(), 4) << screen.text.toStdString();
    EXPECT_EQ(lines[0], "firmware: [------------------------]   0%  0/4096 bytes  -:-- left");
    EXPECT_EQ(lines[1], "firmware: [######------------------]  25%  1024/4096 bytes  1.0 KiB/s  0:03 left");
    EXPECT_EQ(lines[2],
        "firmware: [############------------]  50%  2048/4096 bytes  1.0 KiB/s  0:02 left  window 2 of 4");
    EXPECT_EQ(lines[3],
        "firmware: [########################] 100%  4096/4096 bytes  1.0 KiB/s  0:00 left  window 2 of 4");
    EXPECT_FALSE(screen.text.contains('\r'));
}

TEST(ProgressLine, RedrawnInPlaceOnATerminalAndEndedBeforeAMessage)
{
    Screen screen;
    ProgressLine line("warp push", 88, "chunks", screen.output(true));
    line.update(0);
    screen.now = 500;
    line.update(44);
    EXPECT_EQ(screen.text.count('\r'), 2);
    EXPECT_FALSE(screen.text.contains('\n'));
    EXPECT_TRUE(screen.text.contains("44/88 chunks  88.0/s  0:01 left"));
    line.finish();
    EXPECT_TRUE(screen.text.endsWith('\n'));
    line.finish();
    EXPECT_EQ(screen.text.count('\n'), 1) << "ended once";
}

// The transfer counts the windows it sends: one for a single-window load, whichever window.
TEST(ProgressLine, TransferStepsCountTheWindowsSent)
{
    using Phase = cli::TransferPoint::Phase;
    const struct {
        cli::TransferPoint point;
        const char* text;
    } rows[] = {
        {{Phase::Starting}, "starting"},
        {{Phase::MaskSlots}, "mask slots"},
        {{Phase::Window, 0, 1, 4}, "window 1 of 4"},
        {{Phase::Window, 2, 3, 4}, "window 3 of 4"},
        {{Phase::Window, 1, 1, 1}, "window 2 (1 of 1)"},
        {{Phase::Window, 0, 1, 1}, "window 1 of 1"},
        {{Phase::ReadBack}, "read-back"},
        {{Phase::Done}, "done"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(cli::TransferStepText(row.point), QLatin1String(row.text));
}

TEST(WarpModeNames, BesideTheBoxNumbersAsTheButtonsNameThem)
{
    const struct {
        int pattern;
        const char* name;
    } rows[] = {
        {WarpMode::Off, "off"},
        {WarpMode::Keystone, "2x2"},
        {WarpMode::Grid3x3, "3x3"},
        {WarpMode::Grid5x3, "5x3"},
        {WarpMode::Grid9x5, "9x5"},
        {WarpMode::FirstUserMap, "user map 1"},
        {WarpMode::LastUserMap, "user map 10"},
        {WarpMode::Wall, "WALL"},
        {WarpMode::Points, "17x17"},
        {5, "mode 5"},
        {42, "mode 42"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(WarpModeName(row.pattern), QLatin1String(row.name)) << row.pattern;
    EXPECT_EQ(WarpModeText(WarpMode::Grid9x5), "4 (9x5)");
}

// A box named twice, in whatever spelling, runs once; the user is told which lines meant it.
TEST(HostsFile, OrderKeptAndABoxNamedTwiceWarned)
{
    const HostsList list = ReadHostsFile("# rack 1\n10.0.0.2\n10.0.0.1:7001\n10.0.0.2:7  # again\n"
                                         "box-a\nBOX-A:7\n10.0.0.1:7002\n10.0.0.1:7001\n");
    EXPECT_EQ(list.hosts, (QStringList{"10.0.0.2", "10.0.0.1:7001", "box-a", "10.0.0.1:7002"}));
    ASSERT_EQ(list.warnings.size(), 3) << list.warnings.join('\n').toStdString();
    EXPECT_EQ(list.warnings[0], "line 4 names the box of line 2 again (10.0.0.2:7): it runs once");
    EXPECT_EQ(list.warnings[1], "line 6 names the box of line 5 again (BOX-A:7): it runs once");
    EXPECT_EQ(list.warnings[2], "line 8 names the box of line 3 again (10.0.0.1:7001): it runs once");
}

} // namespace
