#include "interchange/Mpcdi.h"

#include <QBuffer>
#include <QImageReader>

Q_LOGGING_CATEGORY(lcInterchange, "trivel.interchange")

namespace trivel {

namespace {

bool Refuse(QString* error, const QString& why)
{
    qCInfo(lcInterchange).noquote() << "refused:" << why;
    if (error)
        *error = why;
    return false;
}

// Every file a fileset names must be a safe name present in the archive.
bool CheckFile(
    const MpcdiContents& c, const QString& region, const char* what, const QString& path, QString* error)
{
    if (path.isEmpty())
        return Refuse(error, QStringLiteral("Region \"%1\" names no %2.").arg(region, QLatin1String(what)));
    if (!IsSafeArchivePath(path))
        return Refuse(error,
            QStringLiteral("Region \"%1\" names its %2 as \"%3\", a path outside the archive; "
                           "that is refused.")
                .arg(region, QLatin1String(what), path));
    if (!c.files.count(path))
        return Refuse(error,
            QStringLiteral("Region \"%1\": its %2 \"%3\" is not in the archive.")
                .arg(region, QLatin1String(what), path));
    return true;
}

bool CheckRegions(const MpcdiContents& c, QString* error)
{
    if (c.doc.regionIds().isEmpty())
        return Refuse(error, QStringLiteral("mpcdi.xml describes no region."));
    for (const QString& id : c.doc.regionIds()) {
        const MpcdiFileSet* set = c.doc.fileSet(id);
        if (!set)
            return Refuse(error, QStringLiteral("Region \"%1\" has no files (no fileset names it).").arg(id));
        if (!CheckFile(c, id, "warp file", set->warp.path, error)
            || !CheckFile(c, id, "alpha map", set->alpha.path, error))
            return false;
        if (!set->beta.path.isEmpty() && !CheckFile(c, id, "beta map", set->beta.path, error))
            return false;
    }
    return true;
}

QImage DecodePng(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    // A small PNG may claim a huge picture; the box's largest frame is far below this.
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > 8192 || size.height() > 8192
        || qint64(size.width()) * size.height() > qint64(4096) * 2160)
        return {};
    return reader.read();
}

} // namespace

std::optional<MpcdiContents> ReadMpcdiArchive(
    const QByteArray& bytes, QString* error, const ZipLimits& limits)
{
    std::optional<std::vector<ZipEntry>> entries = ReadZipArchive(bytes, limits, error);
    if (!entries)
        return std::nullopt;
    MpcdiContents c;
    int descriptions = 0;
    for (ZipEntry& e : *entries) {
        if (e.name == QLatin1String("mpcdi.xml"))
            ++descriptions;
        c.files[e.name] = std::move(e.data);
    }
    if (descriptions == 0) {
        Refuse(error, QStringLiteral("The archive holds no mpcdi.xml at its root; it is not an MPCDI file."));
        return std::nullopt;
    }
    if (descriptions > 1) {
        Refuse(error,
            QStringLiteral("The archive holds mpcdi.xml %1 times; exactly one is allowed.")
                .arg(descriptions));
        return std::nullopt;
    }
    std::optional<MpcdiDocument> doc = ReadMpcdiXml(c.files[QStringLiteral("mpcdi.xml")], error);
    if (!doc)
        return std::nullopt;
    c.doc = std::move(*doc);
    if (c.doc.profile != QLatin1String("2d")) {
        Refuse(error,
            QStringLiteral("The file's profile is \"%1\"; only the 2d profile can be imported.")
                .arg(c.doc.profile));
        return std::nullopt;
    }
    if (c.doc.geometryLevel < 1 || c.doc.geometryLevel > 2) {
        Refuse(error,
            QStringLiteral("The file's geometry level is %1; levels 1 and 2 of the 2d profile are read.")
                .arg(c.doc.geometryLevel));
        return std::nullopt;
    }
    if (!CheckRegions(c, error))
        return std::nullopt;
    return c;
}

std::optional<MpcdiRegionData> ReadMpcdiRegion(
    const MpcdiContents& c, const QString& regionId, QString* error)
{
    const MpcdiRegion* region = c.doc.region(regionId);
    const MpcdiFileSet* set = region ? c.doc.fileSet(regionId) : nullptr;
    if (!region || !set) {
        Refuse(error,
            QStringLiteral("The file has no region \"%1\"; its regions: %2.")
                .arg(regionId, c.doc.regionIds().join(QStringLiteral(", "))));
        return std::nullopt;
    }
    if (region->xResolution < 1 || region->yResolution < 1) {
        Refuse(error,
            QStringLiteral("Region \"%1\" gives no pixel size (its xresolution and yresolution).")
                .arg(regionId));
        return std::nullopt;
    }
    MpcdiRegionData d;
    d.region = *region;
    d.geometryLevel = c.doc.geometryLevel;
    d.interpolation = set->warp.interpolation;
    QString why;
    const std::optional<PfmImage> pfm = ReadPfm(c.files.at(set->warp.path), &why);
    std::optional<WarpGrid> grid = pfm ? GridFromPfm(*pfm, &why) : std::nullopt;
    if (!grid) {
        Refuse(error,
            QStringLiteral("Region \"%1\": the warp file \"%2\": %3.").arg(regionId, set->warp.path, why));
        return std::nullopt;
    }
    if (grid->columns < 2 || grid->rows < 2) {
        Refuse(error,
            QStringLiteral("Region \"%1\": the warp grid is %2 x %3 points; at least 2 x 2 are needed.")
                .arg(regionId)
                .arg(grid->columns)
                .arg(grid->rows));
        return std::nullopt;
    }
    const int maxColumns = d.geometryLevel == 1 ? kLevel1GridSide : region->xResolution + 1;
    const int maxRows = d.geometryLevel == 1 ? kLevel1GridSide : region->yResolution + 1;
    if (grid->columns > maxColumns || grid->rows > maxRows) {
        Refuse(error,
            QStringLiteral("Region \"%1\": the warp grid is %2 x %3 points, over the %4 x %5 that "
                           "geometry level %6 allows for a %7 x %8 region.")
                .arg(regionId)
                .arg(grid->columns)
                .arg(grid->rows)
                .arg(maxColumns)
                .arg(maxRows)
                .arg(d.geometryLevel)
                .arg(region->xResolution)
                .arg(region->yResolution));
        return std::nullopt;
    }
    d.grid = std::move(*grid);
    d.alpha = DecodePng(c.files.at(set->alpha.path));
    if (d.alpha.isNull()) {
        Refuse(error,
            QStringLiteral("Region \"%1\": the alpha map \"%2\" is not a PNG picture that can be read.")
                .arg(regionId, set->alpha.path));
        return std::nullopt;
    }
    d.gammaEmbedded = set->alpha.gammaEmbedded;
    if (!set->beta.path.isEmpty()) {
        d.beta = DecodePng(c.files.at(set->beta.path));
        if (d.beta.isNull()) {
            Refuse(error,
                QStringLiteral("Region \"%1\": the beta map \"%2\" is not a PNG picture that can be read.")
                    .arg(regionId, set->beta.path));
            return std::nullopt;
        }
    }
    return d;
}

} // namespace trivel
