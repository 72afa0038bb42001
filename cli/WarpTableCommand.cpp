#include "cli/WarpTableCommand.h"

#include "warp/WarpModel.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>

#include <cmath>
#include <optional>
#include <set>
#include <utility>

namespace trivel {

namespace {

constexpr int kUsageError = 2;
constexpr int kFailure = 1;

const char* const kUsage = "usage: trivelctl warp table --frame WxH [--pattern N] [--grid FILE.json] --out "
                           "FILE [--format bin|pgm]\n";

struct Options {
    int width = 0;
    int height = 0;
    std::optional<int> pattern;
    QString grid;
    QString out;
    QString format = QStringLiteral("bin");
};

// A description error with the message the user sees.
struct GridError {
    QString message;
};

int intValue(const QJsonValue& v, const QString& what, int lo, int hi)
{
    const double d = v.toDouble(std::nan(""));
    if (!v.isDouble() || d != std::trunc(d) || d < lo || d > hi)
        throw GridError{QStringLiteral("%1 must be a whole number in %2..%3").arg(what).arg(lo).arg(hi)};
    return static_cast<int>(d);
}

void checkKeys(const QJsonObject& o, const QStringList& allowed, const QString& where)
{
    for (const QString& key : o.keys()) {
        if (!allowed.contains(key))
            throw GridError{QStringLiteral("unknown key \"%1\" in %2").arg(key, where)};
    }
}

OffsetPair offsetValue(const QJsonValue& v, const QString& where, const QStringList& keys)
{
    if (!v.isObject())
        throw GridError{QStringLiteral("%1 must be an object with dx and dy").arg(where)};
    const QJsonObject o = v.toObject();
    checkKeys(o, keys, where);
    return {static_cast<std::int16_t>(
                intValue(o.value(QStringLiteral("dx")), where + QStringLiteral(".dx"), -32768, 32767)),
        static_cast<std::int16_t>(
            intValue(o.value(QStringLiteral("dy")), where + QStringLiteral(".dy"), -32768, 32767))};
}

WarpGridDescription parseGrid(const QByteArray& text)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(text, &parseError);
    if (doc.isNull())
        throw GridError{QStringLiteral("not valid JSON: %1 at offset %2")
                            .arg(parseError.errorString())
                            .arg(parseError.offset)};
    if (!doc.isObject())
        throw GridError{QStringLiteral("the grid description must be a JSON object")};
    const QJsonObject root = doc.object();
    checkKeys(root, {QStringLiteral("pattern"), QStringLiteral("points"), QStringLiteral("corners")},
        QStringLiteral("the grid description"));

    WarpGridDescription grid;
    if (root.contains(QStringLiteral("pattern")))
        grid.pattern = intValue(root.value(QStringLiteral("pattern")), QStringLiteral("pattern"), 0, 255);

    const QJsonValue points = root.value(QStringLiteral("points"));
    if (!points.isUndefined()) {
        if (!points.isArray())
            throw GridError{QStringLiteral("points must be an array")};
        std::set<std::pair<int, int>> seen;
        const QJsonArray list = points.toArray();
        for (qsizetype i = 0; i < list.size(); ++i) {
            const QString where = QStringLiteral("points[%1]").arg(i);
            if (!list.at(i).isObject())
                throw GridError{where + QStringLiteral(" must be an object")};
            const QJsonObject o = list.at(i).toObject();
            const int column
                = intValue(o.value(QStringLiteral("column")), where + QStringLiteral(".column"), 0, 16);
            const int row = intValue(o.value(QStringLiteral("row")), where + QStringLiteral(".row"), 0, 16);
            if (!seen.insert({column, row}).second)
                throw GridError{QStringLiteral("point (%1, %2) is given twice").arg(column).arg(row)};
            grid.points.push_back({{column, row},
                offsetValue(o, where,
                    {QStringLiteral("column"), QStringLiteral("row"), QStringLiteral("dx"),
                        QStringLiteral("dy")})});
        }
    }

    const QJsonValue corners = root.value(QStringLiteral("corners"));
    if (!corners.isUndefined()) {
        if (!corners.isObject())
            throw GridError{QStringLiteral("corners must be an object")};
        const QJsonObject o = corners.toObject();
        const QStringList names{QStringLiteral("topLeft"), QStringLiteral("topRight"),
            QStringLiteral("bottomLeft"), QStringLiteral("bottomRight")};
        checkKeys(o, names, QStringLiteral("corners"));
        for (int c = 0; c < 4; ++c) {
            if (o.contains(names[c]))
                grid.corners[c] = offsetValue(o.value(names[c]), QStringLiteral("corners.") + names[c],
                    {QStringLiteral("dx"), QStringLiteral("dy")});
        }
    }
    return grid;
}

} // namespace

std::optional<WarpGridDescription> ParseWarpGrid(const QByteArray& text, QString* error)
{
    try {
        return parseGrid(text);
    } catch (const GridError& e) {
        if (error)
            *error = e.message;
        return std::nullopt;
    }
}

int WarpGridPattern(const WarpGridDescription& grid, std::optional<int> override)
{
    return override.value_or(grid.pattern.value_or(Pattern17x17));
}

void ApplyWarpGrid(WarpState& state, int pattern, const WarpGridDescription& grid)
{
    ResetWarpWindow(state);
    ResetGridPositions(state);
    SelectWarpPattern(state, static_cast<std::uint8_t>(pattern));
    WarpModel& model = state.current();
    for (const auto& [point, offset] : grid.points)
        SetPointOffset(model, point.first, point.second, offset);
    for (int c = 0; c < 4; ++c)
        SetCornerOffset(model, c, grid.corners[c]);
    RebuildWarpTables(state);
}

namespace {

// Parses the arguments; returns an error message for a usage error.
std::optional<QString> parseArgs(const QStringList& args, Options& opt)
{
    bool haveFrame = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString name = args.at(i);
        QString value;
        const qsizetype eq = name.indexOf(QLatin1Char('='));
        if (name.startsWith(QLatin1String("--")) && eq > 0) {
            value = name.mid(eq + 1);
            name = name.left(eq);
        } else if (i + 1 < args.size()) {
            value = args.at(++i);
        } else {
            return QStringLiteral("%1 needs a value").arg(name);
        }

        if (name == QLatin1String("--frame")) {
            const QRegularExpression re(QStringLiteral("^(\\d{1,6})[xX](\\d{1,6})$"));
            const auto match = re.match(value);
            if (!match.hasMatch())
                return QStringLiteral("--frame wants WIDTHxHEIGHT, e.g. 1920x1080, not \"%1\"").arg(value);
            opt.width = match.captured(1).toInt();
            opt.height = match.captured(2).toInt();
            haveFrame = true;
        } else if (name == QLatin1String("--pattern")) {
            bool ok = false;
            const int p = value.toInt(&ok);
            if (!ok)
                return QStringLiteral("--pattern wants a number 0..6, not \"%1\"").arg(value);
            opt.pattern = p;
        } else if (name == QLatin1String("--grid")) {
            opt.grid = value;
        } else if (name == QLatin1String("--out")) {
            opt.out = value;
        } else if (name == QLatin1String("--format")) {
            if (value != QLatin1String("bin") && value != QLatin1String("pgm"))
                return QStringLiteral("--format is bin or pgm, not \"%1\"").arg(value);
            opt.format = value;
        } else {
            return QStringLiteral("unknown option \"%1\"").arg(name);
        }
    }
    if (!haveFrame)
        return QStringLiteral("--frame is required");
    if (opt.out.isEmpty())
        return QStringLiteral("--out is required");
    if (!WarpFrameSizeFits(opt.width, opt.height)) {
        return QStringLiteral("frame %1x%2 does not fit the warp tables (%3x%4 up to %5x%6)")
            .arg(opt.width)
            .arg(opt.height)
            .arg(kMinWarpFrameSize)
            .arg(kMinWarpFrameSize)
            .arg(kMaxWarpFrameWidth)
            .arg(kMaxWarpFrameHeight);
    }
    return std::nullopt;
}

bool writeFile(const QString& path, const QByteArray& data, QTextStream& err)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        err << "trivelctl warp table: cannot write " << path << ": " << file.errorString() << "\n";
        return false;
    }
    return true;
}

QByteArray binTables(const WarpState& state)
{
    const auto x = SourceTableBytes(state.SourceXTable);
    const auto y = SourceTableBytes(state.SourceYTable);
    QByteArray data(reinterpret_cast<const char*>(x.data()), qsizetype(x.size()));
    data.append(reinterpret_cast<const char*>(y.data()), qsizetype(y.size()));
    return data;
}

// 16-bit binary PGM (samples most significant byte first), mesh column l across, mesh row n down.
QByteArray pgmImage(const std::array<std::uint16_t, kSourceTableEntries>& table)
{
    QByteArray data
        = QStringLiteral("P5\n%1 %2\n65535\n").arg(kSourceTableColumns).arg(kSourceTableRows).toLatin1();
    for (int n = 0; n < kSourceTableRows; ++n) {
        for (int l = 0; l < kSourceTableColumns; ++l) {
            const std::uint16_t v = table[SourceTableIndex(l, n)];
            data.append(static_cast<char>(v >> 8));
            data.append(static_cast<char>(v & 0xFF));
        }
    }
    return data;
}

} // namespace

int RunWarpTableCommand(const QStringList& args, QTextStream& out, QTextStream& err)
{
    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
        out << kUsage;
        return 0;
    }
    Options opt;
    if (const auto problem = parseArgs(args, opt)) {
        err << "trivelctl warp table: " << *problem << "\n" << kUsage;
        return kUsageError;
    }

    WarpGridDescription grid;
    if (!opt.grid.isEmpty()) {
        QFile file(opt.grid);
        if (!file.open(QIODevice::ReadOnly)) {
            err << "trivelctl warp table: cannot read " << opt.grid << ": " << file.errorString() << "\n";
            return kFailure;
        }
        QString problem;
        const auto parsed = ParseWarpGrid(file.readAll(), &problem);
        if (!parsed) {
            err << "trivelctl warp table: " << opt.grid << ": " << problem << "\n";
            return kFailure;
        }
        grid = *parsed;
    }
    const int pattern = WarpGridPattern(grid, opt.pattern);
    if (pattern < 0 || pattern > Pattern17x17) {
        err << "trivelctl warp table: pattern " << pattern
            << " has no source tables (0..6: 2x2, 3x3, 5x3, 5x5, 9x5, 9x9, 17x17)\n";
        return opt.pattern ? kUsageError : kFailure;
    }

    WarpState state;
    SetWarpFrameSize(state, opt.width, opt.height);
    try {
        ApplyWarpGrid(state, pattern, grid);
    } catch (const WarpMathError& e) {
        err << "trivelctl warp table: the grid cannot be computed: " << e.what() << "\n";
        return kFailure;
    }

    if (opt.format == QLatin1String("bin")) {
        if (!writeFile(opt.out, binTables(state), err))
            return kFailure;
        out << "wrote " << opt.out << " (SourceXTable, SourceYTable: " << 2 * kSourceTableBytes
            << " bytes)\n";
        return 0;
    }
    QString base = opt.out;
    if (base.endsWith(QLatin1String(".pgm"), Qt::CaseInsensitive))
        base.chop(4);
    const QString xPath = base + QStringLiteral("-x.pgm");
    const QString yPath = base + QStringLiteral("-y.pgm");
    if (!writeFile(xPath, pgmImage(state.SourceXTable), err)
        || !writeFile(yPath, pgmImage(state.SourceYTable), err))
        return kFailure;
    out << "wrote " << xPath << " and " << yPath << "\n";
    return 0;
}

} // namespace trivel
