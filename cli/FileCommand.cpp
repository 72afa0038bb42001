#include "cli/FileCommand.h"
#include "box/Box.h"

#include "cli/ReadbackReport.h"
#include "files/SettingFile.h"
#include "link/Clock.h"
#include "mask/Masks.h"
#include "session/Session.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <map>

namespace trivel {

namespace {

const char* const kFileHelp = R"(Usage: trivelctl file dump FILE
       trivelctl file diff FILE_A FILE_B
       trivelctl file check FILE [--model N] [--user-mask]

Setting files read without a box. The kind comes from the file's first bytes, whatever its
name: "WPM" a whole-box file, "SBF" a single-window file.

  dump    print what a load puts into the caches, as JSON with the names of
          'trivelctl readback --json' (WindowSettings, BlendSettings, ControlOffsets, ...) plus
          WarpPattern, PointOffsets, CornerOffsets, WallOffsets, FileInputSize,
          FilePipSourceSize, MaskSlotSha1 and the file's header under "File"; a
          single-window file has one entry per window array
  diff    print the fields that differ, per window; exit 0 when the files are the same, 1
          when they differ, 2 when one of them cannot be read
  check   the kind of file found, the header checks and the version, then a full read; exit 0
          when a load would accept the file, 1 when it refuses it. --model and --user-mask
          check it as a box of that model number, with the user-mask feature, would

Exit codes: 0 success or same, 1 different or refused, 2 usage error (diff: or unreadable).
)";

class QuietUi final : public UiPort {
public:
    MsgResult message(MsgIcon, const QString&, const QString&, MsgButtons) override { return MsgResult::Ok; }
};

struct FileHeader {
    QByteArray bytes; // up to 16
    qint64 size = 0;
    std::uint8_t at(int i) const { return i < bytes.size() ? std::uint8_t(bytes[i]) : 0; }
    bool masks() const { return at(6) == 'E'; }
    SettingFileKind kind() const { return SettingFileKindOf(bytes); }
};

bool ReadHeader(const QString& path, FileHeader& h, QTextStream& err)
{
    QByteArray bytes;
    QString why;
    if (!ReadRegularFile(path, kLargestSettingFile, bytes, why)) {
        err << "trivelctl: " << path << ": " << why << "\n";
        return false;
    }
    h.size = bytes.size();
    h.bytes = bytes.left(qsizetype(kSettingFileHeaderBytes));
    return true;
}

template <typename A> QJsonArray Ints(const A& a)
{
    QJsonArray out;
    for (const auto& v : a)
        out.append(int(v));
    return out;
}

QJsonArray Pairs(const auto& pairs)
{
    QJsonArray out;
    for (const OffsetPair& p : pairs)
        out.append(QJsonArray{p.dx, p.dy});
    return out;
}

QJsonArray Grid(const GridArray<OffsetPair>& g)
{
    QJsonArray out;
    for (const auto& column : g)
        out.append(Pairs(column));
    return out;
}

QJsonArray Sizes(const std::array<SignalSize, 4>& a)
{
    QJsonArray out;
    for (const SignalSize& z : a)
        out.append(QJsonArray{z.width, z.height});
    return out;
}

QString SlotDigest(const SlotCopy& copy)
{
    if (copy.size() < kMaskHeaderBytes)
        return {};
    const std::size_t size = std::size_t(copy[4]) | std::size_t(copy[5]) << 8 | std::size_t(copy[6]) << 16
        | std::size_t(copy[7]) << 24;
    if (size == 0)
        return {};
    const QByteArray bytes(
        reinterpret_cast<const char*>(copy.data()), qsizetype(std::min(size, copy.size())));
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex());
}

// Keys whose arrays have one entry per window.
const QStringList& PerWindowKeys()
{
    static const QStringList keys{"BlendSettings", "ControlOffsets", "WallPoints", "KeystoneCorners",
        "ControlPattern", "PipSettings", "DCM", "HDO", "MaskAssignment", "WarpPattern", "PointOffsets",
        "CornerOffsets", "WallOffsets", "FileInputSize", "FilePipSourceSize"};
    return keys;
}

// Calls f(path, array) for every per-window array of a report, nested ones included.
template <typename F> void ForEachPerWindow(QJsonObject& r, F&& f)
{
    for (const QString& k : PerWindowKeys()) {
        QJsonArray a = r[k].toArray();
        f(k, a);
        r[k] = a;
    }
    for (const char* group : {"WindowSettings", "EdgeMaskCorners"}) {
        QJsonObject o = r[group].toObject();
        for (auto it = o.begin(); it != o.end(); ++it) {
            QJsonArray a = it.value().toArray();
            f(QString::fromLatin1(group) + "." + it.key(), a);
            it.value() = a;
        }
        r[group] = o;
    }
}

QJsonObject FileReport(const Session& s, const FileHeader& h)
{
    const bool wholeBox = h.kind() == SettingFileKind::WholeBox;
    QJsonObject r = cli::CacheReport(s);
    QJsonArray warpPattern;
    QJsonArray points, corners, wall;
    for (const WarpModel& m : s.box->warp.state().model) {
        warpPattern.append(int(m.WarpPattern));
        points.append(Grid(m.PointOffsets));
        corners.append(Pairs(m.CornerOffsets));
        wall.append(Grid(m.WallOffsets));
    }
    r["WarpPattern"] = warpPattern;
    r["PointOffsets"] = points;
    r["CornerOffsets"] = corners;
    r["WallOffsets"] = wall;
    r["FileInputSize"] = Sizes(s.FileInputSize);
    r["FilePipSourceSize"] = Sizes(s.FilePipSourceSize);
    QJsonArray digests;
    for (const auto& copy : s.masks->state().MonoSlotCopy)
        digests.append(SlotDigest(copy));
    digests.append(SlotDigest(s.masks->state().ColourSlotCopy));
    r["MaskSlotSha1"] = digests;
    if (!wholeBox)
        ForEachPerWindow(r, [](const QString&, QJsonArray& a) {
            while (a.size() > 1)
                a.removeLast();
        });
    r["File"] = QJsonObject{{"Magic", QString::fromLatin1(h.bytes.left(3))}, {"BoardModel", int(h.at(3))},
        {"Version", int(h.at(5))}, {"UserMask", h.masks()},
        {"Layout", wholeBox ? "whole-box" : "single-window"}, {"Bytes", h.size}};
    return r;
}

// The way an offline tool sees a file: no box, and the mask feature when the file carries
// masks, so its mask entries are read and checked too.
bool LoadWithHeader(Session& s, const QString& path, QTextStream& err, FileHeader& h)
{
    if (!ReadHeader(path, h, err))
        return false;
    s.setFlag(Flag::UserMask, h.masks());
    const SettingFileOutcome o = LoadSettingFile(s, path);
    if (!o.ok) {
        err << "trivelctl: " << path << ": " << o.message << "\n";
        return false;
    }
    return true;
}

bool LoadOffline(const QString& path, QJsonObject& report, QTextStream& err)
{
    FileHeader h;
    VirtualClock clock;
    QuietUi ui;
    Box tool(clock, ui);
    Session& s = tool.session;
    if (!LoadWithHeader(s, path, err, h))
        return false;
    report = FileReport(s, h);
    return true;
}

QString Compact(const QJsonValue& v)
{
    if (v.isArray())
        return QString::fromUtf8(QJsonDocument(v.toArray()).toJson(QJsonDocument::Compact));
    if (v.isObject())
        return QString::fromUtf8(QJsonDocument(v.toObject()).toJson(QJsonDocument::Compact));
    if (v.isString())
        return '"' + v.toString() + '"';
    return v.toVariant().toString();
}

void DiffValues(const QString& path, const QJsonValue& a, const QJsonValue& b, QStringList& out)
{
    if (a == b)
        return;
    if (a.isArray() && b.isArray() && a.toArray().size() == b.toArray().size()) {
        const QJsonArray x = a.toArray(), y = b.toArray();
        for (qsizetype i = 0; i < x.size(); ++i)
            DiffValues(QStringLiteral("%1[%2]").arg(path).arg(i), x[i], y[i], out);
        return;
    }
    if (a.isObject() && b.isObject()) {
        const QJsonObject x = a.toObject(), y = b.toObject();
        QStringList keys = x.keys() + y.keys();
        keys.removeDuplicates();
        for (const QString& k : keys)
            DiffValues(path + "." + k, x.value(k), y.value(k), out);
        return;
    }
    out << path + ": " + Compact(a) + " -> " + Compact(b);
}

int Dump(const QStringList& args, QTextStream& out, QTextStream& err)
{
    if (args.size() != 1)
        return err << "trivelctl: file dump needs one FILE\n", 2;
    QJsonObject r;
    if (!LoadOffline(args[0], r, err))
        return 1;
    out << QString::fromUtf8(QJsonDocument(r).toJson(QJsonDocument::Indented));
    return 0;
}

int Diff(const QStringList& args, QTextStream& out, QTextStream& err)
{
    if (args.size() != 2)
        return err << "trivelctl: file diff needs FILE_A and FILE_B\n", 2;
    QJsonObject a, b;
    if (!LoadOffline(args[0], a, err) || !LoadOffline(args[1], b, err))
        return 2;
    const QString layoutA = a["File"].toObject()["Layout"].toString();
    const QString layoutB = b["File"].toObject()["Layout"].toString();
    if (layoutA != layoutB) {
        out << "layouts differ: " << layoutA << " / " << layoutB << "\n";
        return 1;
    }

    // Box-wide: the header and the slots; then the per-window arrays window by window.
    QStringList boxWide;
    for (const char* k : {"File", "MaskSlotSizes", "MaskSlotSha1"})
        DiffValues(QString::fromLatin1(k), a[k], b[k], boxWide);
    boxWide.removeIf([](const QString& l) { return l.startsWith("File.Bytes"); });

    std::map<int, QStringList> perWindow;
    std::map<QString, QJsonArray> arraysB;
    ForEachPerWindow(b, [&arraysB](const QString& k, QJsonArray& arr) { arraysB[k] = arr; });
    ForEachPerWindow(a, [&](const QString& k, QJsonArray& arr) {
        const QJsonArray& other = arraysB[k];
        for (qsizetype w = 0; w < arr.size(); ++w)
            DiffValues(k, arr[w], w < other.size() ? other[w] : QJsonValue(), perWindow[int(w)]);
    });

    for (const QString& l : boxWide)
        out << l << "\n";
    bool differ = !boxWide.isEmpty();
    const bool single = layoutA == QLatin1String("single-window");
    for (const auto& [w, lines] : perWindow) {
        if (lines.isEmpty())
            continue;
        differ = true;
        out << (single ? QStringLiteral("window:") : QStringLiteral("window %1:").arg(w + 1)) << "\n";
        for (const QString& l : lines)
            out << "  " << l << "\n";
    }
    return differ ? 1 : 0;
}

int Check(const QStringList& args, QTextStream& out, QTextStream& err)
{
    QString path;
    int model = 0;
    bool userMask = false;
    bool maskGiven = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--model") && i + 1 < args.size()) {
            bool ok = false;
            model = args[++i].toInt(&ok);
            if (!ok || model < 0)
                return err << "trivelctl: bad model number " << args[i] << "\n", 2;
        } else if (args[i] == QLatin1String("--user-mask")) {
            userMask = maskGiven = true;
        } else if (path.isEmpty() && !args[i].startsWith('-')) {
            path = args[i];
        } else {
            return err << "trivelctl: unexpected argument " << args[i] << "\n", 2;
        }
    }
    if (path.isEmpty())
        return err << "trivelctl: file check needs a FILE\n", 2;

    FileHeader h;
    if (!ReadHeader(path, h, err))
        return 1;
    out << "Layout: " << SettingFileKindName(h.kind()) << "\n";
    const SaveTarget named = ResolveSaveName(path, false);
    if (named.extensionGiven && h.kind() != SettingFileKind::Unknown
        && named.wholeBox != (h.kind() == SettingFileKind::WholeBox))
        out << "Note: the name says " << (named.wholeBox ? "whole-box" : "single-window")
            << "; the file's own first bytes decide\n";
    out << "Magic: " << QString::fromLatin1(h.bytes.left(3).toHex(' ')) << "\n";
    out << "BoardModel: " << h.at(3) << "\n";
    out << "Version: " << h.at(5) << "\n";
    out << "UserMask: " << (h.masks() ? "yes" : "no") << "\n";
    out << "Bytes: " << h.size << "\n";
    if (h.at(5) < 4 || h.at(5) > kSettingFileVersion)
        out << "Note: versions 4 to " << kSettingFileVersion
            << " are known; this one is read as the nearest\n";

    VirtualClock clock;
    QuietUi ui;
    Box tool(clock, ui);
    Session& s = tool.session;
    s.BoardModel = model;
    s.setFlag(Flag::UserMask, maskGiven ? userMask : h.masks());
    const SettingFileOutcome o = LoadSettingFile(s, path);
    if (!o.ok) {
        out << "Refused: " << o.message << "\n";
        return 1;
    }
    out << "OK\n";
    return 0;
}

} // namespace

bool LoadSettingFileOffline(Session& s, const QString& path, QTextStream& err)
{
    FileHeader h;
    return LoadWithHeader(s, path, err, h);
}

int RunFileCommand(const QStringList& args, QTextStream& out, QTextStream& err)
{
    if (args.isEmpty() || args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
        (args.isEmpty() ? err : out) << kFileHelp;
        return args.isEmpty() ? 2 : 0;
    }
    const QStringList rest = args.mid(1);
    if (args[0] == QLatin1String("dump"))
        return Dump(rest, out, err);
    if (args[0] == QLatin1String("diff"))
        return Diff(rest, out, err);
    if (args[0] == QLatin1String("check"))
        return Check(rest, out, err);
    err << "trivelctl: unknown file command " << args[0] << "\nTry 'trivelctl file --help'.\n";
    return 2;
}

} // namespace trivel
