#include "sim/rig/Rig.h"

#include "warp/WarpModel.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace trivel::sim {

namespace {

Vec2 FrameCentre(const RigProjector& p)
{
    return {(p.width - 1) / 2.0, (p.height - 1) / 2.0};
}

double HalfDiagonal(const RigProjector& p)
{
    return 0.5 * std::hypot(double(p.width), double(p.height));
}

} // namespace

Vec2 RigProjector::screenOf(Vec2 output) const
{
    const Vec2 c = FrameCentre(*this);
    const double r = HalfDiagonal(*this);
    const Vec2 n = (output - c) * (1.0 / r);
    const double s = 1.0 + distortion * (n.x * n.x + n.y * n.y);
    return toScreen.map(c + n * (s * r));
}

std::optional<Vec2> RigProjector::outputOf(Vec2 screen) const
{
    const auto inv = toScreen.inverse();
    if (!inv)
        return std::nullopt;
    const Vec2 c = FrameCentre(*this);
    // Points behind the projector have the other sign than its frame centre.
    if (inv->weight(screen) * inv->weight(toScreen.map(c)) <= 0.0)
        return std::nullopt;
    const double r = HalfDiagonal(*this);
    const Vec2 nd = (inv->map(screen) - c) * (1.0 / r);
    Vec2 n = nd;
    for (int i = 0; i < 30; ++i) {
        const double s = 1.0 + distortion * (n.x * n.x + n.y * n.y);
        if (s <= 0.05)
            return std::nullopt;
        n = nd * (1.0 / s);
    }
    return c + n * r;
}

double RigProjector::lightFactor(Vec2 output) const
{
    const Vec2 n = (output - FrameCentre(*this)) * (1.0 / HalfDiagonal(*this));
    return brightness * std::max(0.0, 1.0 - falloff * (n.x * n.x + n.y * n.y));
}

std::optional<Vec2> RigCamera::screenOf(Vec2 photo) const
{
    const auto inv = fromScreen.inverse();
    if (!inv)
        return std::nullopt;
    return inv->map(lens.undistort(photo));
}

align::ScreenMarks Rig::marks() const
{
    align::ScreenMarks m;
    m.screen = {Vec2{0, 0}, Vec2{screenWidth, 0}, Vec2{screenWidth, screenHeight}, Vec2{0, screenHeight}};
    for (std::size_t i = 0; i < 4; ++i)
        m.camera[i] = camera.photoOf(m.screen[i]);
    return m;
}

namespace {

QJsonArray ToArray(const Homography& h)
{
    QJsonArray a;
    for (double v : h.m)
        a.append(v);
    return a;
}

class Reader {
public:
    QString error;

    bool number(
        const QJsonObject& o, const char* key, double min, double max, double& out, bool required = true)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined() && !required)
            return true;
        if (!v.isDouble() || !(v.toDouble() >= min && v.toDouble() <= max))
            return fail(QStringLiteral("\"%1\" must be a number from %2 to %3")
                            .arg(QLatin1String(key))
                            .arg(min)
                            .arg(max));
        out = v.toDouble();
        return true;
    }
    bool integer(const QJsonObject& o, const char* key, int min, int max, int& out, bool required = true)
    {
        double d = out;
        if (!number(o, key, min, max, d, required))
            return false;
        if (d != std::floor(d))
            return fail(QStringLiteral("\"%1\" must be a whole number").arg(QLatin1String(key)));
        out = int(d);
        return true;
    }
    bool size(const QJsonObject& o, const char* key, int min, int maxW, int maxH, int& w, int& h)
    {
        const QJsonArray a = o.value(QLatin1String(key)).toArray();
        if (a.size() != 2 || !a[0].isDouble() || !a[1].isDouble())
            return fail(QStringLiteral("\"%1\" must be [width, height]").arg(QLatin1String(key)));
        const double dw = a[0].toDouble(), dh = a[1].toDouble();
        if (!(dw >= min && dw <= maxW && dh >= min && dh <= maxH) || dw != std::floor(dw)
            || dh != std::floor(dh))
            return fail(QStringLiteral("\"%1\" must be whole numbers from %2 x %2 to %3 x %4")
                            .arg(QLatin1String(key))
                            .arg(min)
                            .arg(maxW)
                            .arg(maxH));
        w = int(dw);
        h = int(dh);
        return true;
    }
    bool homography(const QJsonObject& o, const char* key, Homography& out)
    {
        const QJsonArray a = o.value(QLatin1String(key)).toArray();
        if (a.size() != 9)
            return fail(QStringLiteral("\"%1\" must be 9 numbers").arg(QLatin1String(key)));
        for (int i = 0; i < 9; ++i) {
            if (!a[i].isDouble() || !std::isfinite(a[i].toDouble()) || std::abs(a[i].toDouble()) > 1e9)
                return fail(QStringLiteral("\"%1\" must be 9 finite numbers").arg(QLatin1String(key)));
            out.m[std::size_t(i)] = a[i].toDouble();
        }
        const auto inv = out.inverse();
        if (!inv || !inv->finite())
            return fail(QStringLiteral("\"%1\" cannot be inverted").arg(QLatin1String(key)));
        return true;
    }
    bool fail(const QString& why)
    {
        if (error.isEmpty())
            error = why;
        return false;
    }
};

// The whole frame in front of the projector, and its picture in a sane range of the screen.
bool FrameSane(const RigProjector& p)
{
    const Homography& h = p.toScreen;
    const double w0 = h.weight({(p.width - 1) / 2.0, (p.height - 1) / 2.0});
    for (double x : {-0.5, p.width - 0.5})
        for (double y : {-0.5, p.height - 0.5}) {
            const double w = h.weight({x, y});
            const Vec2 s = p.screenOf({x, y});
            if (w * w0 <= 0.0 || !std::isfinite(s.x) || !std::isfinite(s.y) || std::abs(s.x) > 1e6
                || std::abs(s.y) > 1e6)
                return false;
        }
    return true;
}

bool ReadProjector(Reader& r, const QJsonObject& o, RigProjector& p)
{
    bool on = true;
    if (o.contains(QLatin1String("on"))) {
        if (!o.value(QLatin1String("on")).isBool())
            return r.fail(QStringLiteral("\"on\" must be true or false"));
        on = o.value(QLatin1String("on")).toBool();
    }
    p.on = on;
    if (!r.size(o, "frame", kMinWarpFrameSize, kMaxWarpFrameWidth, kMaxWarpFrameHeight, p.width, p.height)
        || !r.homography(o, "toScreen", p.toScreen)
        || !r.number(o, "distortion", -0.2, 0.2, p.distortion, false)
        || !r.number(o, "falloff", 0.0, 0.9, p.falloff, false)
        || !r.number(o, "brightness", 0.0, 10.0, p.brightness, false)
        || !r.number(o, "black", 0.0, 0.5, p.black, false) || !r.number(o, "gamma", 0.5, 4.0, p.gamma, false))
        return false;
    if (!FrameSane(p))
        return r.fail(QStringLiteral("a projector's frame does not land on the screen"));
    return true;
}

bool ReadCamera(Reader& r, const QJsonObject& o, RigCamera& c)
{
    if (!r.size(o, "size", 16, 8192, 8192, c.width, c.height) || !r.homography(o, "fromScreen", c.fromScreen)
        || !r.number(o, "noise", 0.0, 50.0, c.noise, false) || !r.number(o, "blur", 0.0, 10.0, c.blur, false)
        || !r.number(o, "exposure", 1.0, 10000.0, c.exposure, false)
        || !r.number(o, "ambient", 0.0, 255.0, c.ambient, false)
        || !r.integer(o, "supersample", 1, 4, c.supersample, false))
        return false;
    if (double(c.width) * c.height * c.supersample * c.supersample > 64e6)
        return r.fail(
            QStringLiteral("the camera renders too many samples; lower \"size\" or \"supersample\""));
    double seed = double(c.seed);
    if (!r.number(o, "seed", 0.0, 9007199254740992.0, seed, false))
        return false;
    c.seed = std::uint64_t(seed);
    c.lens = LensModel{double(c.width), double(c.width), (c.width - 1) / 2.0, (c.height - 1) / 2.0};
    if (o.contains(QLatin1String("lens"))) {
        const QJsonObject l = o.value(QLatin1String("lens")).toObject();
        if (!r.number(l, "fx", 2.0, 1e6, c.lens.fx) || !r.number(l, "fy", 2.0, 1e6, c.lens.fy)
            || !r.number(l, "cx", -1e5, 1e5, c.lens.cx) || !r.number(l, "cy", -1e5, 1e5, c.lens.cy)
            || !r.number(l, "k1", -0.5, 0.5, c.lens.k1, false)
            || !r.number(l, "k2", -0.5, 0.5, c.lens.k2, false)
            || !r.number(l, "p1", -0.05, 0.05, c.lens.p1, false)
            || !r.number(l, "p2", -0.05, 0.05, c.lens.p2, false))
            return false;
    }
    return true;
}

} // namespace

std::optional<Rig> ReadRigJson(const QByteArray& json, QString& error)
{
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &pe);
    if (doc.isNull() || !doc.isObject()) {
        error = QStringLiteral("not a JSON object: %1").arg(pe.errorString());
        return std::nullopt;
    }
    const QJsonObject root = doc.object();
    Reader r;
    Rig rig;
    const auto layout = align::ParseWallLayout(root.value(QLatin1String("layout")).toString());
    if (!layout) {
        error = QStringLiteral("\"layout\" must be rows x columns such as \"2x2\", four windows at most");
        return std::nullopt;
    }
    rig.layout = *layout;
    const QJsonObject screen = root.value(QLatin1String("screen")).toObject();
    const QJsonArray projectors = root.value(QLatin1String("projectors")).toArray();
    bool ok = r.number(screen, "width", 1.0, 1e5, rig.screenWidth)
        && r.number(screen, "height", 1.0, 1e5, rig.screenHeight);
    if (ok && projectors.size() != rig.layout.windows())
        ok = r.fail(QStringLiteral("\"projectors\" must list one projector per window of the layout"));
    for (int i = 0; ok && i < projectors.size(); ++i) {
        RigProjector p;
        ok = ReadProjector(r, projectors[i].toObject(), p);
        if (!ok)
            r.error = QStringLiteral("projector %1: %2").arg(i + 1).arg(r.error);
        rig.projectors.push_back(p);
    }
    ok = ok && ReadCamera(r, root.value(QLatin1String("camera")).toObject(), rig.camera);
    if (!ok) {
        error = r.error;
        return std::nullopt;
    }
    return rig;
}

QByteArray WriteRigJson(const Rig& rig)
{
    QJsonObject root;
    root.insert(QStringLiteral("layout"), rig.layout.text());
    root.insert(
        QStringLiteral("screen"), QJsonObject{{"width", rig.screenWidth}, {"height", rig.screenHeight}});
    QJsonArray projectors;
    for (const RigProjector& p : rig.projectors)
        projectors.append(QJsonObject{{"frame", QJsonArray{p.width, p.height}},
            {"toScreen", ToArray(p.toScreen)}, {"distortion", p.distortion}, {"falloff", p.falloff},
            {"brightness", p.brightness}, {"black", p.black}, {"gamma", p.gamma}, {"on", p.on}});
    root.insert(QStringLiteral("projectors"), projectors);
    const RigCamera& c = rig.camera;
    const QJsonObject lens{{"fx", c.lens.fx}, {"fy", c.lens.fy}, {"cx", c.lens.cx}, {"cy", c.lens.cy},
        {"k1", c.lens.k1}, {"k2", c.lens.k2}, {"p1", c.lens.p1}, {"p2", c.lens.p2}};
    root.insert(QStringLiteral("camera"),
        QJsonObject{{"size", QJsonArray{c.width, c.height}}, {"fromScreen", ToArray(c.fromScreen)},
            {"lens", lens}, {"noise", c.noise}, {"blur", c.blur}, {"exposure", c.exposure},
            {"ambient", c.ambient}, {"supersample", c.supersample}, {"seed", double(c.seed)}});
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

} // namespace trivel::sim
