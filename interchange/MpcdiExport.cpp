#include "interchange/Mpcdi.h"

#include "interchange/BlendMaps.h"
#include "interchange/PngEncoder.h"

#include <algorithm>
#include <future>

namespace trivel {

namespace {

MpcdiDataMap DataMap(const QString& path, const QImage& img, double gamma)
{
    MpcdiDataMap m;
    m.path = path;
    m.componentDepth = img.isGrayscale() ? 1 : 3;
    m.bitDepth = img.depth() >= 48 || img.format() == QImage::Format_Grayscale16 ? 16 : 8;
    m.gammaEmbedded = gamma;
    return m;
}

// A window's three files; windows are independent, so they are made side by side.
struct WindowFiles {
    QByteArray pfm;
    QByteArray alpha;
    QByteArray beta;
    MpcdiDataMap alphaMap;
    MpcdiDataMap betaMap;
};

WindowFiles FilesOf(const WindowExport& w)
{
    const QString id = RegionIdOf(w.window);
    const QImage alpha = AlphaMapImage(w.blend, w.width, w.height);
    const QImage beta = BetaMapImage(w.blend, w.width, w.height);
    // The gamma offset is the display gamma the box's curve assumes; the curve holds it to
    // 0.9..2.5 as well.
    const double gamma = std::clamp(int(w.blend.bytes[25]), 90, 250) / 100.0;
    return {WarpPfmOf(w), EncodePng(alpha), EncodePng(beta),
        DataMap(id + QStringLiteral("_alpha.png"), alpha, gamma),
        DataMap(id + QStringLiteral("_beta.png"), beta, 1.0)};
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
    std::vector<std::future<WindowFiles>> jobs;
    for (const WindowExport& w : windows)
        jobs.push_back(std::async(std::launch::async, FilesOf, std::cref(w)));
    std::vector<ZipEntry> entries;
    entries.push_back({QStringLiteral("mpcdi.xml"), {}});
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const WindowExport& w = windows[i];
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

        WindowFiles files = jobs[i].get();
        MpcdiFileSet set;
        set.region = id;
        set.warp.path = id + QStringLiteral(".pfm");
        set.alpha = files.alphaMap;
        set.beta = files.betaMap;
        doc.fileSets.push_back(set);
        entries.push_back({set.warp.path, std::move(files.pfm)});
        entries.push_back({set.alpha.path, std::move(files.alpha)});
        entries.push_back({set.beta.path, std::move(files.beta)});
    }
    entries.front().data = WriteMpcdiXml(doc);
    return WriteZipArchive(entries, error);
}

} // namespace trivel
