#include "interchange/Mpcdi.h"

#include "interchange/BlendMaps.h"

#include <QBuffer>
#include <QImageWriter>

#include <algorithm>

namespace trivel {

namespace {

QByteArray Png(const QImage& img)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    // Maps are mostly flat: the fastest deflate level costs little in size.
    writer.setQuality(80);
    writer.write(img);
    return out;
}

MpcdiDataMap DataMap(const QString& path, const QImage& img, double gamma)
{
    MpcdiDataMap m;
    m.path = path;
    m.componentDepth = img.format() == QImage::Format_Grayscale16 ? 1 : 3;
    m.bitDepth = 16;
    m.gammaEmbedded = gamma;
    return m;
}

} // namespace

QString RegionIdOf(int window)
{
    return QStringLiteral("window%1").arg(window + 1);
}

QStringList ExportNotes(const WindowExport& w)
{
    QStringList notes;
    QString what = w.geometryNote;
    if (what.startsWith(QLatin1String("Geometry: ")))
        what.remove(0, 10);
    notes << (w.exactGeometry ? QStringLiteral("Geometry (exact): %1").arg(what)
                              : QStringLiteral("Geometry (approximate): %1").arg(what));
    notes << QStringLiteral(
        "Alpha from the blend widths, shifts, curve and gamma gain; beta from the black "
        "levels; colour gain and offset, blend and mask corners and masks are not in the file.");
    return notes;
}

QByteArray WarpPfmOf(const WindowExport& w)
{
    return WritePfm(GridToPfm(GridFromTables(w.width, w.height, w.sourceX, w.sourceY)));
}

std::optional<QByteArray> BuildMpcdiArchive(
    const std::vector<WindowExport>& windows, const QDateTime& date, QString* error)
{
    MpcdiDocument doc;
    doc.geometryLevel = 2;
    doc.colorLevel = 2;
    doc.date = date.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    std::vector<ZipEntry> entries;
    entries.push_back({QStringLiteral("mpcdi.xml"), {}});
    for (const WindowExport& w : windows) {
        const QString id = RegionIdOf(w.window);
        MpcdiBuffer buffer;
        buffer.id = QStringLiteral("buffer%1").arg(w.window + 1);
        buffer.xResolution = w.width;
        buffer.yResolution = w.height;
        MpcdiRegion region;
        region.id = id;
        region.xResolution = w.width;
        region.yResolution = w.height;
        region.notes = ExportNotes(w);
        buffer.regions.push_back(region);
        doc.buffers.push_back(buffer);

        const QImage alpha = AlphaMapImage(w.blend, w.width, w.height);
        const QImage beta = BetaMapImage(w.blend, w.width, w.height);
        // The gamma offset is the display gamma the box's curve assumes; the curve holds it to
        // 0.9..2.5 as well.
        const double gamma = std::clamp(int(w.blend.bytes[25]), 90, 250) / 100.0;
        MpcdiFileSet set;
        set.region = id;
        set.warp.path = id + QStringLiteral(".pfm");
        set.alpha = DataMap(id + QStringLiteral("_alpha.png"), alpha, gamma);
        set.beta = DataMap(id + QStringLiteral("_beta.png"), beta, 1.0);
        doc.fileSets.push_back(set);
        entries.push_back({set.warp.path, WarpPfmOf(w)});
        entries.push_back({set.alpha.path, Png(alpha)});
        entries.push_back({set.beta.path, Png(beta)});
    }
    entries.front().data = WriteMpcdiXml(doc);
    return WriteZipArchive(entries, error);
}

} // namespace trivel
