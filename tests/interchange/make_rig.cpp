// Writes the setting file the independent-reader check exports: values whose maps and grids the
// check can work out by itself.
//   window 1: 17x17 point mode, every point 10 px right; a 200 px left blend on a straight ramp;
//             black level 16 in the centre part, 0 in the left one
//   window 2: no warp; a 300 px right blend with gamma gains 40/50/60; centre lift 8/16/24

#include "files/SettingFile.h"
#include "box/Box.h"
#include "link/Clock.h"
#include "session/Session.h"
#include "support/RecordingUi.h"
#include "warp/WarpAdjustState.h"
#include "warp/WarpModel.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    using namespace trivel;
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_interchange_rig OUT.WBF\n");
        return 2;
    }
    VirtualClock clock;
    test::RecordingUi ui;
    Box tool(clock, ui);
    Session& s = tool.session;
    WarpModel& m = s.box->warp.state().model[0];
    m.ControlPattern = WarpMode::Points;
    for (int k = 0; k < kGridSize; ++k)
        for (int j = 0; j < kGridSize; ++j)
            SetPointOffset(m, k, j, {10, 0});
    for (BlendRecord& b : s.settings().BlendSettings) {
        b.gammaOffset() = 220;
        for (int c = 0; c < 3; ++c) {
            b.setTransitionGamma(c, 220);
            b.gammaGain(c) = 50;
        }
    }
    BlendRecord& w1 = s.settings().BlendSettings[0];
    w1.setEdgeWidth(0, 200);
    for (int c = 0; c < 3; ++c)
        w1.blackLevel(0, c) = 16;
    BlendRecord& w2 = s.settings().BlendSettings[1];
    w2.setEdgeWidth(1, 300);
    for (int c = 0; c < 3; ++c) {
        w2.gammaGain(c) = std::uint8_t(40 + 10 * c);
        w2.blackLevel(0, c) = std::uint8_t(8 * (c + 1));
    }
    const SettingFileOutcome saved = SaveSettingFile(s, QString::fromLocal8Bit(argv[1]), true);
    if (!saved.ok)
        std::fprintf(stderr, "make_interchange_rig: %s\n", qPrintable(saved.message));
    return saved.ok ? 0 : 1;
}
