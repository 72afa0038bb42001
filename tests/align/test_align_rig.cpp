// The simulated rig: random rigs stay within the drawn ranges, rig files round-trip and bad ones
// are refused with the field named.

#include "align/Patterns.h"
#include "sim/rig/RigScene.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>

using namespace trivel;
using namespace trivel::align;
using namespace trivel::sim;

namespace {

// The narrowest overlap of two neighbours along their seam, in screen pixels: from each point of
// b's near edge across to a's far edge, along the screen's rows (or columns).
double NarrowestOverlap(const RigProjector& a, const RigProjector& b, bool sideBySide)
{
    double narrowest = 1e9;
    for (int i = 0; i <= 200; ++i) {
        const double t = -0.5 + i * ((sideBySide ? b.height : b.width) / 200.0);
        const Vec2 edge = b.screenOf(sideBySide ? Vec2{-0.5, t} : Vec2{t, -0.5});
        // a's far edge at the same screen row (column), by bisection along it.
        double lo = -0.5, hi = (sideBySide ? a.height : a.width) - 0.5;
        auto at = [&](double u) {
            return sideBySide ? a.screenOf({a.width - 0.5, u}) : a.screenOf({u, a.height - 0.5});
        };
        const double target = sideBySide ? edge.y : edge.x;
        auto along = [&](const Vec2& p) { return sideBySide ? p.y : p.x; };
        if ((along(at(lo)) - target) * (along(at(hi)) - target) > 0)
            continue;
        const bool rising = along(at(hi)) > along(at(lo));
        for (int k = 0; k < 60; ++k) {
            const double mid = 0.5 * (lo + hi);
            ((along(at(mid)) < target) == rising ? lo : hi) = mid;
        }
        const Vec2 far = at(lo);
        narrowest = std::min(narrowest, sideBySide ? far.x - edge.x : far.y - edge.y);
    }
    return narrowest;
}

} // namespace

TEST(AlignRig, RandomRigsStayInTheirRanges)
{
    for (const WallLayout layout : {WallLayout{1, 2}, WallLayout{1, 3}, WallLayout{2, 2}, WallLayout{1, 4}}) {
        for (std::uint64_t seed : {1u, 2u, 99u}) {
            const Rig rig = RandomRig(seed, layout, 1280, 720);
            SCOPED_TRACE(qPrintable(QStringLiteral("%1 seed %2").arg(layout.text()).arg(seed)));
            ASSERT_EQ(int(rig.projectors.size()), layout.windows());
            EXPECT_EQ(
                WriteRigJson(rig), WriteRigJson(RandomRig(seed, layout, 1280, 720))); // the seed decides all
            for (int w = 0; w < layout.windows(); ++w) {
                const RigProjector& p = rig.projectors[std::size_t(w)];
                EXPECT_LE(std::abs(p.distortion), 0.03);
                // Keystone: opposite edges (before the lens) differ by at most 15 %; rotation of the
                // top edge at most 5 degrees beyond what the keystone tilts.
                const Vec2 tl = p.toScreen.map({-0.5, -0.5}), tr = p.toScreen.map({1919.5, -0.5});
                const Vec2 bl = p.toScreen.map({-0.5, 1079.5}), br = p.toScreen.map({1919.5, 1079.5});
                const double top = (tr - tl).norm(), bottom = (br - bl).norm();
                const double left = (bl - tl).norm(), right = (br - tr).norm();
                EXPECT_GE(std::min(top, bottom) / std::max(top, bottom), 0.85 - 1e-9);
                EXPECT_GE(std::min(left, right) / std::max(left, right), 0.85 - 1e-9);
                const Vec2 mid = (tr + br) * 0.5 - (tl + bl) * 0.5;
                EXPECT_LE(std::abs(std::atan2(mid.y, mid.x)) * 180 / std::numbers::pi, 5.0 + 4.5);
                if (layout.columnOf(w) > 0) {
                    const double o = NarrowestOverlap(rig.projectors[std::size_t(w - 1)], p, true) / 1920.0;
                    EXPECT_GE(o, 0.10 - 0.005);
                    EXPECT_LE(o, 0.25 + 0.005);
                }
                if (layout.rowOf(w) > 0) {
                    const double o
                        = NarrowestOverlap(rig.projectors[std::size_t(w - layout.columns)], p, false)
                        / 1080.0;
                    EXPECT_GE(o, 0.10 - 0.005);
                    EXPECT_LE(o, 0.25 + 0.005);
                }
            }
            // The camera sees the whole screen, whose corners the simulated user marks.
            for (const Vec2& m : rig.marks().camera) {
                EXPECT_GT(m.x, 0.0);
                EXPECT_GT(m.y, 0.0);
                EXPECT_LT(m.x, 1279.0);
                EXPECT_LT(m.y, 719.0);
            }
        }
    }
}

TEST(AlignRig, FilesRoundTrip)
{
    const Rig rig = RandomRig(4, {2, 2}, 800, 450);
    QString error;
    const auto back = ReadRigJson(WriteRigJson(rig), error);
    ASSERT_TRUE(back) << qPrintable(error);
    EXPECT_EQ(WriteRigJson(*back), WriteRigJson(rig));
    for (std::size_t w = 0; w < 4; ++w)
        EXPECT_NEAR(
            (back->projectors[w].screenOf({100, 200}) - rig.projectors[w].screenOf({100, 200})).norm(), 0.0,
            1e-9);
    EXPECT_NEAR((back->camera.photoOf({50, 60}) - rig.camera.photoOf({50, 60})).norm(), 0.0, 1e-9);
}

TEST(AlignRig, BadFilesAreRefusedWithTheFieldNamed)
{
    const QJsonObject good = QJsonDocument::fromJson(WriteRigJson(RandomRig(1, {1, 2}, 640, 360))).object();
    struct Case {
        const char* name;
        std::function<void(QJsonObject&)> spoil;
        const char* expected;
    };
    auto projector = [](QJsonObject& root, const char* key, const QJsonValue& v) {
        QJsonArray ps = root.value("projectors").toArray();
        QJsonObject p = ps[0].toObject();
        p.insert(QLatin1String(key), v);
        ps[0] = p;
        root.insert("projectors", ps);
    };
    auto camera = [](QJsonObject& root, const char* key, const QJsonValue& v) {
        QJsonObject c = root.value("camera").toObject();
        c.insert(QLatin1String(key), v);
        root.insert("camera", c);
    };
    const Case cases[] = {
        {"layout", [](QJsonObject& r) { r.insert("layout", "3x3"); }, "\"layout\""},
        {"projector count", [](QJsonObject& r) { r.insert("layout", "1x3"); }, "one projector per window"},
        {"singular homography",
            [&](QJsonObject& r) {
                projector(r, "toScreen", QJsonArray{1, 2, 3, 2, 4, 6, 0, 0, 1});
            },
            "\"toScreen\" cannot be inverted"},
        {"frame too large",
            [&](QJsonObject& r) {
                projector(r, "frame", QJsonArray{4000, 1080});
            },
            "\"frame\""},
        {"distortion", [&](QJsonObject& r) { projector(r, "distortion", 0.9); }, "\"distortion\""},
        {"frame behind the projector",
            [&](QJsonObject& r) {
                projector(r, "toScreen", QJsonArray{1, 0, 0, 0, 1, 0, 0.001, 0, -1});
            },
            "does not land on the screen"},
        {"camera too large",
            [&](QJsonObject& r) {
                camera(r, "size", QJsonArray{8192, 8192});
            },
            "too many samples"},
        {"noise", [&](QJsonObject& r) { camera(r, "noise", "loud"); }, "\"noise\""},
        {"lens",
            [&](QJsonObject& r) {
                camera(r, "lens", QJsonObject{{"fx", 0}});
            },
            "\"fx\""},
    };
    for (const Case& c : cases) {
        QJsonObject root = good;
        c.spoil(root);
        QString error;
        EXPECT_FALSE(ReadRigJson(QJsonDocument(root).toJson(), error)) << c.name;
        EXPECT_TRUE(error.contains(QLatin1String(c.expected))) << c.name << ": " << qPrintable(error);
    }
    QString error;
    EXPECT_FALSE(ReadRigJson("{\"layout\":", error));
    EXPECT_TRUE(error.startsWith(QLatin1String("not a JSON object")));
}

// A projector whose frame reaches far past the photo (near its horizon, seen through a camera
// stretched ten thousand times): the photo is taken all the same, without overflowing anything.
TEST(AlignRig, FarReachingFramesStillPhotograph)
{
    const QByteArray json = R"({"layout": "1x2", "screen": {"width": 3600, "height": 1200},
        "projectors": [{"frame": [1920, 1080], "toScreen": [21, 0, 0, 0, 1, 0, 0.002, 0, 1]},
                       {"frame": [1920, 1080], "toScreen": [1, 0, 1650, 0, 1, 20, 0, 0, 1]}],
        "camera": {"size": [64, 36], "fromScreen": [1e4, 0, 20, 0, 0.15, 20, 0, 0, 1],
                   "lens": {"fx": 604, "fy": 640, "cx": -320, "cy": 180, "k1": 0.05}}})";
    QString error;
    const auto rig = ReadRigJson(json, error);
    ASSERT_TRUE(rig) << qPrintable(error);
    RigScene scene(*rig);
    scene.content[0].mask = align::WhiteFrameStream();
    const Photo p = scene.photo();
    EXPECT_EQ(p.width, 64);
    for (float v : p.pixels)
        EXPECT_TRUE(v >= 0.0f && v <= 255.0f);
}
