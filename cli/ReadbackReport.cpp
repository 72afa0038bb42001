#include "cli/ReadbackReport.h"

#include "cli/WarpBoxRun.h"

#include "box/Box.h"
#include "firmware/Controls.h"

#include "box/Readback.h"
#include "mask/Masks.h"
#include "session/Session.h"
#include "settings/SettingsState.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace trivel::cli {

namespace {

template <typename A> QJsonArray Ints(const A& a)
{
    QJsonArray out;
    for (const auto& v : a)
        out.append(int(v));
    return out;
}

template <std::size_t N> QJsonArray Points(const std::array<PointOffset, N>& a)
{
    QJsonArray out;
    for (const PointOffset& p : a)
        out.append(QJsonArray{p.x, p.y});
    return out;
}

template <typename Table> QJsonArray PerWindowPoints(const Table& t)
{
    QJsonArray out;
    for (const auto& w : t)
        out.append(Points(w));
    return out;
}

// [window][column][row] = [dx, dy], the model's column-major order.
QJsonArray PerWindowGridOffsets(const std::array<WarpModel, 4>& models)
{
    QJsonArray out;
    for (const WarpModel& m : models) {
        QJsonArray columns;
        for (const auto& column : m.PointOffsets) {
            QJsonArray rows;
            for (const OffsetPair& p : column)
                rows.append(QJsonArray{p.dx, p.dy});
            columns.append(rows);
        }
        out.append(columns);
    }
    return out;
}

QString Dotted(const NetworkRecord& n, std::size_t at)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(n.bytes[at])
        .arg(n.bytes[at + 1])
        .arg(n.bytes[at + 2])
        .arg(n.bytes[at + 3]);
}

QJsonObject Network(const NetworkRecord& n)
{
    return QJsonObject{{"DHCP", n.dhcp()}, {"Address", Dotted(n, 1)}, {"Mask", Dotted(n, 5)},
        {"Gateway", Dotted(n, 9)}, {"StaticAddress", Dotted(n, 13)}, {"StaticMask", Dotted(n, 17)},
        {"StaticGateway", Dotted(n, 21)}};
}

std::uint32_t SlotSize(const SlotCopy& copy)
{
    return std::uint32_t(copy[4]) | std::uint32_t(copy[5]) << 8 | std::uint32_t(copy[6]) << 16
        | std::uint32_t(copy[7]) << 24;
}

} // namespace

QJsonObject IdentifyReport(const Session& s, const QString& memoLine)
{
    QJsonArray frames;
    for (const WarpModel& m : s.box->warp.state().model)
        frames.append(QJsonArray{m.frameWidth, m.frameHeight});
    return QJsonObject{{"Identify", memoLine}, {"MCUVersion", s.ui.caption(ctl::MCUVersion)},
        {"ChannelCount", s.ChannelCount}, {"PipCapable", s.flag(Flag::PipCapable)},
        {"FourInput", s.flag(Flag::FourInput)}, {"Key", s.flag(Flag::Key)},
        {"UserMask", s.flag(Flag::UserMask)}, {"Rejected", s.flag(Flag::Rejected)}, {"FrameSizes", frames},
        {"BoardModel", s.BoardModel}};
}

QJsonObject ReadbackReport(const Session& s, const QString& memoLine)
{
    QJsonObject r = IdentifyReport(s, memoLine);
    r["PairedOutputs"] = s.flag(Flag::PairedOutputs);
    r["SessionFlags"] = qint64(s.SessionFlags);
    r["CurrentWindow"] = s.CurrentWindow + 1; // numbered as on the window buttons
    const QJsonObject caches = CacheReport(s);
    for (auto it = caches.begin(); it != caches.end(); ++it)
        r[it.key()] = it.value();
    r["Network"] = Network(s.settings().Network);
    return r;
}

QJsonObject CacheReport(const Session& s)
{
    QJsonObject r;
    QJsonObject ws;
    s.settings().WindowSettings.forEachField([&ws](const char* name, const auto& a) { ws[name] = Ints(a); });
    r["WindowSettings"] = ws;

    QJsonArray blend;
    for (const BlendRecord& b : s.settings().BlendSettings)
        blend.append(Ints(b.bytes));
    r["BlendSettings"] = blend;
    QJsonArray maskX, maskY;
    for (std::size_t w = 0; w < 4; ++w) {
        maskX.append(Ints(s.settings().EdgeMaskCorners.x[w]));
        maskY.append(Ints(s.settings().EdgeMaskCorners.y[w]));
    }
    r["EdgeMaskCorners"] = QJsonObject{{"x", maskX}, {"y", maskY}};

    r["ControlOffsets"] = PerWindowPoints(s.box->warp.adjust().ControlOffsets);
    r["WallPoints"] = PerWindowPoints(s.box->warp.adjust().WallPoints);
    r["KeystoneCorners"] = PerWindowPoints(s.box->warp.adjust().KeystoneCorners);
    QJsonArray patterns;
    QJsonArray modes; // the same by the Warp Adjust page's names
    for (const WarpModel& m : s.box->warp.state().model) {
        patterns.append(int(m.ControlPattern));
        modes.append(WarpModeName(m.ControlPattern));
    }
    r["ControlPattern"] = patterns;
    r["WarpMode"] = modes;
    // 17x17 offsets as this run holds them: the box has no read of its live points.
    r["PointOffsets"] = PerWindowGridOffsets(s.box->warp.state().model);

    QJsonArray pip;
    for (const PipRecord& p : s.settings().PipSettings) {
        QJsonObject o;
        for (int i = 0; i < 7; ++i)
            o[PipQueryName(i)] = int(p.bytes[std::size_t(i)]);
        for (int i = 0; i < 4; ++i)
            o[PipQueryName(7 + i)] = int(p.overlap[std::size_t(i)]);
        pip.append(o);
    }
    r["PipSettings"] = pip;
    r["DCM"] = Ints(s.settings().DCM);
    r["HDO"] = Ints(s.settings().HDO);
    r["MaskAssignment"] = Ints(s.masks->state().MaskAssignment);
    QJsonArray slotSizes;
    for (const auto& copy : s.masks->state().MonoSlotCopy)
        slotSizes.append(qint64(SlotSize(copy)));
    slotSizes.append(qint64(SlotSize(s.masks->state().ColourSlotCopy)));
    r["MaskSlotSizes"] = slotSizes;
    return r;
}

QStringList ReportLines(const QJsonObject& report)
{
    QStringList lines;
    std::function<void(const QString&, const QJsonValue&)> walk = [&](const QString& key,
                                                                      const QJsonValue& v) {
        if (v.isObject()) {
            const QJsonObject o = v.toObject();
            for (auto it = o.begin(); it != o.end(); ++it)
                walk(key.isEmpty() ? it.key() : key + "." + it.key(), it.value());
            return;
        }
        if (v.isArray()) {
            const QJsonArray a = v.toArray();
            if (!a.isEmpty()
                && (a.first().isObject() || (a.first().isArray() && a.first().toArray().first().isArray()))) {
                for (int i = 0; i < a.size(); ++i)
                    walk(QStringLiteral("%1[%2]").arg(key).arg(i), a[i]);
                return;
            }
            lines.append(key + ": " + QString::fromUtf8(QJsonDocument(a).toJson(QJsonDocument::Compact)));
            return;
        }
        lines.append(key + ": " + v.toVariant().toString());
    };
    walk(QString(), report);
    return lines;
}

} // namespace trivel::cli
