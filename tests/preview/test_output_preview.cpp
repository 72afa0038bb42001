// The output preview, stage by stage, on small frames whose every pixel can be checked.

#include "link/Clock.h"
#include "box/Box.h"
#include "mask/MaskCodec.h"
#include "preview/OutputPreview.h"
#include "preview/PreviewSession.h"
#include "preview/PreviewSource.h"
#include "session/Session.h"
#include "support/RecordingUi.h"
#include "warp/WarpModel.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

using namespace trivel;
using namespace trivel::test;

namespace {

QImage Noise(int w, int h, quint32 seed = 7)
{
    QImage img(w, h, QImage::Format_RGB32);
    QRandomGenerator rng(seed);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<quint32*>(img.scanLine(y));
        for (int x = 0; x < w; ++x)
            row[x] = 0xFF000000u | (rng.generate() & 0xFFFFFFu);
    }
    return img;
}

QImage Flat(int w, int h, QRgb c)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

struct PreviewSession {
    VirtualClock clock;
    RecordingUi ui;
    Box tool{clock, ui};
    Session& s = tool.session;

    // Window 0 at a frame size, in 17x17 User Map mode with its tables transferred.
    WarpModel& userMap(int width, int height)
    {
        s.box->warp.state().WarpWindow = 0;
        EXPECT_TRUE(SetWarpFrameSize(s.box->warp.state(), width, height));
        SelectWarpPattern(s.box->warp.state(), Pattern17x17);
        s.box->warp.adjust().userMap.TableTransferred[0] = true;
        s.box->warp.adjust().UserMapShown[0] = true;
        return s.box->warp.state().current();
    }
    PreviewInput input(const QImage& source)
    {
        PreviewInput in = BuildPreviewInput(s, 0, source);
        in.applyBlend = false;
        return in;
    }
};

// What the tables say output pixel (x, y) shows: the source, bilinear at the table's position.
QRgb Reference(const PreviewInput& in, const QImage& src, int x, int y)
{
    auto entry = [](std::uint16_t w) { return w >= 0xC000 ? int(w) - 65536 : int(w); };
    const int l = x / 16;
    const int n = y / 16;
    const double fx = (x % 16) / 16.0;
    const double fy = (y % 16) / 16.0;
    auto at = [&](const std::vector<std::uint16_t>& t) {
        const double a = entry(t[std::size_t(SourceTableIndex(l, n))]);
        const double b = entry(t[std::size_t(SourceTableIndex(l + 1, n))]);
        const double c = entry(t[std::size_t(SourceTableIndex(l, n + 1))]);
        const double d = entry(t[std::size_t(SourceTableIndex(l + 1, n + 1))]);
        return ((a * (1 - fx) + b * fx) * (1 - fy) + (c * (1 - fx) + d * fx) * fy) / 16.0;
    };
    const double sx = std::floor(at(in.sourceX) * 16) / 16;
    const double sy = std::floor(at(in.sourceY) * 16) / 16;
    const int px = int(std::floor(sx));
    const int py = int(std::floor(sy));
    if (px < 0 || py < 0 || px >= src.width() || py >= src.height())
        return qRgb(0, 0, 0);
    const double ax = sx - px;
    const double ay = sy - py;
    auto pix = [&](int u, int v) {
        return src.pixel(std::min(u, src.width() - 1), std::min(v, src.height() - 1));
    };
    auto mix = [&](int shift) {
        auto ch = [&](QRgb p) { return double((p >> shift) & 0xFF); };
        return int(std::lround((ch(pix(px, py)) * (1 - ax) + ch(pix(px + 1, py)) * ax) * (1 - ay)
            + (ch(pix(px, py + 1)) * (1 - ax) + ch(pix(px + 1, py + 1)) * ax) * ay));
    };
    return qRgb(mix(16), mix(8), mix(0));
}

bool Near(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance
        && std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

int Differences(const QImage& a, const QImage& b)
{
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            n += (a.pixel(x, y) & 0xFFFFFF) != (b.pixel(x, y) & 0xFFFFFF);
    return n;
}

} // namespace

TEST(OutputPreview, AnUneditedUserMapShowsTheSourceUnchanged)
{
    // 1920 x 1088 and 64 x 48 are whole meshes; 1920 x 1080 ends inside a mesh cell.
    for (auto [w, h] : {std::pair{1920, 1088}, std::pair{64, 48}, std::pair{1920, 1080}}) {
        SCOPED_TRACE(testing::Message() << w << "x" << h);
        PreviewSession p;
        p.userMap(w, h);
        RebuildWarpTables(p.s.box->warp.state());
        const QImage src = Noise(w, h);
        PreviewInput in = p.input(src);
        EXPECT_TRUE(in.notes.first().contains(QLatin1String("User Map tables")));
        const QImage out = RenderOutputPreview(in);
        ASSERT_EQ(out.size(), src.size());
        EXPECT_EQ(Differences(out, src), 0);
    }
}

TEST(OutputPreview, MovedPointsMoveTheSourceByWhatTheTablesSay)
{
    PreviewSession p;
    WarpModel& m = p.userMap(1920, 1088);
    // Every point 10 pixels right: each output pixel shows the source 10 pixels to its left.
    for (int k = 0; k < kGridSize; ++k)
        for (int j = 0; j < kGridSize; ++j)
            SetPointOffset(m, k, j, {10, 0});
    RebuildWarpTables(p.s.box->warp.state());
    const QImage src = Noise(1920, 1088);
    const QImage out = RenderOutputPreview(p.input(src));
    for (int y : {0, 17, 544, 1087})
        for (int x : {11, 12, 500, 1919})
            EXPECT_EQ(out.pixel(x, y), src.pixel(x - 10, y)) << x << "," << y;
    EXPECT_EQ(out.pixel(0, 100) & 0xFFFFFF, 0u); // nothing of the source lies left of its edge

    // One point moved: near it the picture follows the tables' fractional positions.
    for (int k = 0; k < kGridSize; ++k)
        for (int j = 0; j < kGridSize; ++j)
            SetPointOffset(m, k, j, {});
    SetPointOffset(m, 8, 8, {37, -21});
    RebuildWarpTables(p.s.box->warp.state());
    const PreviewInput in = p.input(src);
    const QImage moved = RenderOutputPreview(in);
    int changed = 0;
    for (int y = 400; y < 700; y += 7) {
        for (int x = 800; x < 1120; x += 5) {
            ASSERT_TRUE(Near(moved.pixel(x, y), Reference(in, src, x, y), 1)) << x << "," << y;
            changed += moved.pixel(x, y) != src.pixel(x, y);
        }
    }
    EXPECT_GT(changed, 1000);
    // Far from the point the picture stays where it was.
    EXPECT_EQ(moved.pixel(40, 40), src.pixel(40, 40));
}

TEST(OutputPreview, ReducedRendersSampleTheFullOne)
{
    PreviewSession p;
    WarpModel& m = p.userMap(320, 240);
    SetPointOffset(m, 4, 4, {12, 9});
    RebuildWarpTables(p.s.box->warp.state());
    PreviewInput in = p.input(Noise(320, 240));
    // Every stage: a blend on two edges with a lifted black, and a mono mask at an offset.
    in.applyBlend = true;
    for (int ch = 0; ch < 3; ++ch) {
        in.blend.setTransitionGamma(ch, 220);
        in.blend.gammaGain(ch) = 60;
        in.blend.colourGain(ch) = 50;
        in.blend.colourOffset(ch) = 50;
    }
    in.blend.gammaOffset() = 220;
    in.blend.setEdgeWidth(1, 90);
    in.blend.setEdgeWidth(2, 50);
    in.blend.blackLevel(6, 1) = 30;
    in.mask.kind = PreviewMask::Kind::Mono;
    in.mask.picture = MaskPicture(100, 60, 1);
    for (int y = 0; y < 60; y += 2)
        for (int x = y; x < 100; x += 3)
            in.mask.picture.setPixel(x, y, 1);
    in.mask.offsetX = 33;
    in.mask.offsetY = 17;
    in.mask.colour = {0, 200, 0};
    const QImage full = RenderOutputPreview(in);
    for (int step : {2, 4}) {
        const QImage part = RenderOutputPreview(in, step);
        ASSERT_EQ(part.size(), QSize(320 / step, 240 / step));
        for (int j = 0; j < part.height(); ++j)
            for (int i = 0; i < part.width(); ++i)
                ASSERT_EQ(part.pixel(i, j), full.pixel(i * step, j * step)) << step << ": " << i << "," << j;
    }
    EXPECT_TRUE(RenderOutputPreview(in, 0).isNull());
}

TEST(OutputPreview, BlendEdges)
{
    struct Case {
        const char* name;
        int side; // 0 left, 1 right, 2 top, 3 bottom
        int width;
        int shift;
    };
    const Case cases[] = {
        {"no blend", 0, 0, 0},
        {"left 100", 0, 100, 0},
        {"right 150 shifted 20", 1, 150, 20},
        {"top 60", 2, 60, 0},
        {"bottom 80 shifted -10", 3, 80, -10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PreviewInput in;
        in.width = 400;
        in.height = 200;
        in.source = Flat(400, 200, qRgb(255, 255, 255));
        for (int ch = 0; ch < 3; ++ch) {
            in.blend.setTransitionGamma(ch, 220);
            in.blend.gammaGain(ch) = 50;
            in.blend.colourGain(ch) = 50;
            in.blend.colourOffset(ch) = 50;
        }
        in.blend.gammaOffset() = 220;
        in.blend.setEdgeWidth(c.side, std::uint16_t(c.width));
        in.blend.setEdgeShift(c.side, std::int16_t(c.shift));
        const QImage out = RenderOutputPreview(in);
        const bool across = c.side < 2;
        const int size = across ? 400 : 200;
        // Brightness walking from the blended edge inwards, through the middle of the other axis.
        auto at = [&](int d) {
            const int pos = (c.side % 2 == 0) ? d : size - 1 - d;
            return qGreen(across ? out.pixel(pos, 100) : out.pixel(200, pos));
        };
        if (c.width == 0) {
            EXPECT_EQ(Differences(out, in.source), 0);
            continue;
        }
        for (int d = 0; d < std::max(c.shift, 0); ++d)
            EXPECT_EQ(at(d), 0) << d;
        for (int d = 1; d < size / 2; ++d)
            EXPECT_LE(at(d - 1), at(d)) << d;
        EXPECT_LT(at(std::max(c.shift, 0) + c.width / 4), 128);
        EXPECT_EQ(at(c.shift + c.width), 255);
        EXPECT_EQ(at(size / 2), 255);
    }
}

TEST(OutputPreview, BlackLevelAndColourFollowTheirRegion)
{
    PreviewInput in;
    in.width = 300;
    in.height = 300;
    in.source = Flat(300, 300, qRgb(0, 0, 0));
    for (int ch = 0; ch < 3; ++ch) {
        in.blend.setTransitionGamma(ch, 220);
        in.blend.gammaGain(ch) = 50;
        in.blend.colourGain(ch) = 50;
        in.blend.colourOffset(ch) = 50;
    }
    in.blend.gammaOffset() = 220;
    in.blend.setEdgeWidth(0, 100); // left zone 0..99
    in.blend.blackLevel(0, 1) = 40; // centre, green
    in.blend.blackLevel(1, 0) = 20; // left middle, red
    const QImage out = RenderOutputPreview(in);
    EXPECT_EQ(out.pixel(200, 150), qRgb(0, 40, 0));
    EXPECT_EQ(out.pixel(50, 150), qRgb(20, 0, 0));
    EXPECT_EQ(out.pixel(50, 10), qRgb(20, 0, 0)); // no top zone: the left third reaches the top
}

TEST(OutputPreview, MonoMaskCoversItsPixelsInItsColourAtItsOffset)
{
    // 12 x 3: row 0 the first four set, row 1 none, row 2 all.
    MaskPicture bitmap(12, 3, 1);
    for (int x = 0; x < 4; ++x)
        bitmap.setPixel(x, 0, 1);
    for (int x = 0; x < 12; ++x)
        bitmap.setPixel(x, 2, 1);
    for (bool reverse : {false, true}) {
        SCOPED_TRACE(reverse ? "reversed" : "plain");
        MaskBytes stream;
        int kind = 0;
        QString message;
        ASSERT_TRUE(EncodeMonoMask(bitmap, kMonoMaskLimitSmall, stream, kind, message));
        MaskHeader h;
        ASSERT_TRUE(ReadMaskHeader(stream.data(), stream.size(), h));
        h.size = std::uint32_t(stream.size());
        h.offsetX = 30;
        h.offsetY = 5;
        h.reverse = reverse;
        h.red = 200;
        h.green = 10;
        h.blue = 20;
        WriteMaskHeader(h, stream);

        PreviewSession p;
        std::copy(stream.begin(), stream.end(), p.s.masks->state().MonoSlotCopy[3].writable().begin());
        p.s.masks->state().MaskAssignment[0] = 4;
        p.s.box->warp.state().WarpWindow = 0;
        ASSERT_TRUE(SetWarpFrameSize(p.s.box->warp.state(), 64, 32));
        const QImage src = Flat(64, 32, qRgb(90, 90, 90));
        PreviewInput in = p.input(src);
        EXPECT_TRUE(in.notes.last().contains(QLatin1String("slot 4")));
        const QImage out = RenderOutputPreview(in);
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 64; ++x) {
                const bool inside = x >= 30 && x < 42 && y >= 5 && y < 8;
                const bool covered = inside && bitmap.pixel(x - 30, y - 5) == (reverse ? 0 : 1);
                ASSERT_EQ(out.pixel(x, y), covered ? qRgb(200, 10, 20) : qRgb(90, 90, 90)) << x << "," << y;
            }
        }
    }
}

TEST(OutputPreview, ColourMasksScaleThePictureAndBackgroundMaskingCoversTheRest)
{
    // A colour mask of 4 x 2: white lets the picture through, black blocks it, half halves it.
    MaskPicture colour(4, 2, 8);
    colour.palette = {{255, 255, 255}, {0, 0, 0}, {128, 255, 0}};
    colour.pixels = {0, 1, 2, 0, 1, 1, 0, 2};
    MaskBytes stream;
    int kind = 0;
    QString message;
    ASSERT_TRUE(EncodeColourMask(colour, stream, kind, message));
    MaskHeader h;
    ASSERT_TRUE(ReadMaskHeader(stream.data(), stream.size(), h));
    h.size = std::uint32_t(stream.size());
    h.offsetX = 5;
    h.offsetY = 3;
    WriteMaskHeader(h, stream);
    PreviewSession p;
    std::copy(stream.begin(), stream.end(), p.s.masks->state().ColourSlotCopy.writable().begin());
    p.s.masks->state().MaskAssignment[0] = 10;
    ASSERT_TRUE(SetWarpFrameSize(p.s.box->warp.state(), 16, 16));
    PreviewInput in = p.input(Flat(16, 16, qRgb(200, 100, 50)));
    ASSERT_EQ(in.mask.kind, PreviewMask::Kind::Colour);
    QImage out = RenderOutputPreview(in);
    EXPECT_EQ(out.pixel(5, 3), qRgb(200, 100, 50));
    EXPECT_EQ(out.pixel(6, 3), qRgb(0, 0, 0));
    EXPECT_EQ(out.pixel(7, 3), qRgb(100, 100, 0));
    EXPECT_EQ(out.pixel(8, 4), qRgb(100, 100, 0));
    EXPECT_EQ(out.pixel(4, 3), qRgb(200, 100, 50)); // beside the mask
    EXPECT_EQ(out.pixel(9, 3), qRgb(200, 100, 50));

    // A mono mask with "Background masked": everything outside its picture is painted too.
    in.mask = {};
    in.mask.kind = PreviewMask::Kind::Mono;
    in.mask.picture = MaskPicture(4, 2, 1);
    in.mask.picture.setPixel(1, 0, 1);
    in.mask.offsetX = 5;
    in.mask.offsetY = 3;
    in.mask.colour = {9, 9, 9};
    in.mask.backgroundMasked = true;
    out = RenderOutputPreview(in);
    EXPECT_EQ(out.pixel(0, 0), qRgb(9, 9, 9));
    EXPECT_EQ(out.pixel(15, 15), qRgb(9, 9, 9));
    EXPECT_EQ(out.pixel(6, 3), qRgb(9, 9, 9));
    EXPECT_EQ(out.pixel(5, 3), qRgb(200, 100, 50));
    EXPECT_EQ(out.pixel(8, 4), qRgb(200, 100, 50));
}

TEST(OutputPreview, DamagedOrEmptyMaskSlotsShowNoMask)
{
    PreviewSession p;
    std::fill_n(p.s.masks->state().MonoSlotCopy[0].writable().begin(), 32, std::uint8_t(0xFF));
    for (int slot : {1, 2, 10, 11, -3}) {
        p.s.masks->state().MaskAssignment[0] = slot;
        QString note;
        EXPECT_EQ(PreviewMaskOf(p.s.masks->state(), 0, note).kind, PreviewMask::Kind::None) << slot;
    }
    // A mask larger than the frame at a far offset is clipped, not written past the picture.
    PreviewInput in;
    in.width = 32;
    in.height = 16;
    in.applyBlend = false;
    in.mask.kind = PreviewMask::Kind::Mono;
    in.mask.picture = MaskPicture(2400, 1200, 1);
    in.mask.maskValue = 0;
    for (auto [ox, oy] : {std::pair{10, 65535}, std::pair{INT_MIN, 0}, std::pair{-2399, INT_MAX}}) {
        in.mask.offsetX = ox;
        in.mask.offsetY = oy;
        EXPECT_FALSE(RenderOutputPreview(in).isNull());
    }
    in.mask.picture.pixels.resize(3); // fewer bytes than its size says
    in.mask.offsetY = 0;
    EXPECT_FALSE(RenderOutputPreview(in).isNull());
}

TEST(OutputPreview, BoxSideModesAreLabelledApproximations)
{
    struct Case {
        int mode;
        const char* says;
        bool exact;
    };
    const Case cases[] = {
        {WarpMode::Off, "warp off", true},
        {WarpMode::Keystone, "2x2 keystone warp, approximated", false},
        {WarpMode::Grid3x3, "3x3 warp, approximated", false},
        {WarpMode::Wall, "WALL warp, approximated", false},
        {WarpMode::Points, "17x17 point warp, approximated", false},
        {WarpMode::FirstUserMap + 2, "stored user map 3", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.says);
        PreviewSession p;
        p.s.box->warp.state().model[1].ControlPattern = std::uint8_t(c.mode);
        p.s.box->warp.adjust().KeystoneCorners[1][1] = {-40, 30}; // top right in and down
        p.s.box->warp.adjust().ControlOffsets[1][22] = {25, 0}; // the 9 x 5 centre
        p.s.box->warp.adjust().WallPoints[1][7] = {-30, -30};
        p.s.box->warp.state().model[1].PointOffsets[8][8] = {25, 0};
        std::vector<std::uint16_t> x, y;
        QString note;
        EXPECT_EQ(PreviewWarpTables(p.s, 1, x, y, note), c.exact);
        EXPECT_TRUE(note.contains(QLatin1String(c.says))) << note.toStdString();
        if (c.mode == WarpMode::Off) {
            EXPECT_TRUE(x.empty());
            continue;
        }
        ASSERT_EQ(x.size(), std::size_t(kSourceTableEntries));
        // Each mode's offsets reach the tables: something differs from the identity.
        int moved = 0;
        for (int l = 0; l <= 120; ++l)
            for (int n = 0; n <= 68; ++n)
                moved += x[std::size_t(SourceTableIndex(l, n))] != 256 * l;
        EXPECT_GT(moved, 10);
        // The session itself is untouched.
        EXPECT_EQ(p.s.box->warp.state().WarpWindow, 0);
        EXPECT_EQ(p.s.box->warp.state().SourceXTable[std::size_t(SourceTableIndex(60, 30))], 256 * 60);
    }
}

TEST(OutputPreview, TablesCountOnlyWhileTheBoxUsesThem)
{
    PreviewSession p;
    WarpModel& m = p.userMap(1920, 1080);
    m.ControlPattern = WarpMode::Grid3x3;
    std::vector<std::uint16_t> x, y;
    QString note;
    EXPECT_TRUE(PreviewWarpTables(p.s, 0, x, y, note));
    // Warp Adjust shown again: the box is back on its own mode.
    p.s.box->warp.adjust().UserMapShown[0] = false;
    EXPECT_FALSE(PreviewWarpTables(p.s, 0, x, y, note));
    EXPECT_TRUE(note.contains(QLatin1String("3x3 warp, approximated")));
    // Sent but not yet applied.
    p.s.box->warp.adjust().UserMapShown[0] = true;
    p.s.box->warp.adjust().userMap.TableTransferred[0] = false;
    EXPECT_FALSE(PreviewWarpTables(p.s, 0, x, y, note));
}

TEST(OutputPreview, SourcesAndBadFrames)
{
    EXPECT_EQ(PreviewTestPattern(QStringLiteral("grid"), 320, 180).size(), QSize(320, 180));
    EXPECT_EQ(PreviewTestPattern(QStringLiteral("ramp"), 320, 180).pixel(0, 10), qRgb(0, 0, 0));
    QString message;
    EXPECT_TRUE(LoadPreviewSource(QStringLiteral("/nonexistent/picture.png"), 320, 180, &message).isNull());
    EXPECT_FALSE(message.isEmpty());
    PreviewInput in;
    for (auto [w, h] : {std::pair{0, 100}, std::pair{3000, 100}, std::pair{100, -1}}) {
        in.width = w;
        in.height = h;
        EXPECT_TRUE(RenderOutputPreview(in).isNull());
    }
    // Tables of the wrong length count as no warp, and a missing source as black.
    in.width = 64;
    in.height = 32;
    in.sourceX.assign(5, 0);
    const QImage out = RenderOutputPreview(in);
    EXPECT_EQ(out.size(), QSize(64, 32));
}
