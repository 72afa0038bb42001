#pragma once
// .mpcdi files of the 2d profile: written from what the tool knows of each window, read back
// with every refusal the user should see before anything reaches a box.
//
// Layout of an export: one buffer per window (the window's own input frame, at its frame size),
// holding one region that covers it whole; the region's warp grid, alpha map and beta map are
// window<N>.pfm, window<N>_alpha.png and window<N>_beta.png at the archive's root.

#include "interchange/MpcdiXml.h"
#include "interchange/WarpGrid.h"
#include "interchange/ZipArchive.h"

#include "settings/SettingsState.h"

#include <QDateTime>
#include <QImage>
#include <QLoggingCategory>

#include <map>
#include <optional>
#include <vector>

Q_DECLARE_LOGGING_CATEGORY(lcInterchange)

namespace trivel {

// What the tool knows of one window, as plain data.
struct WindowExport {
    int window = 0; // 0..3
    int width = 1920; // output frame
    int height = 1080;
    // SourceXTable / SourceYTable layout; empty: no warp.
    std::vector<std::uint16_t> sourceX;
    std::vector<std::uint16_t> sourceY;
    bool exactGeometry = false; // the User Map tables themselves, not the model's approximation
    QString geometryNote;
    BlendRecord blend;
};

// Grid limits of the geometry levels: level 1 up to 32 x 32 points, level 2 one point per pixel
// counting both edges of the frame (width + 1 x height + 1).
inline constexpr int kLevel1GridSide = 32;

// The region's id in an export of window w (0..3): "window1".."window4".
QString RegionIdOf(int window);

// Notes on a window's export: how exact the geometry is and what the format leaves out.
QStringList ExportNotes(const WindowExport& w);

// The archive of the windows, in their order. date: written as "yyyy-MM-dd HH:mm:ss".
std::optional<QByteArray> BuildMpcdiArchive(
    const std::vector<WindowExport>& windows, const QDateTime& date, QString* error);

// The warp grid alone, as the archive holds it.
QByteArray WarpPfmOf(const WindowExport& w);

// An archive's description and files, checked: one mpcdi.xml, the 2d profile, every region with
// its files present under safe names.
struct MpcdiContents {
    MpcdiDocument doc;
    std::map<QString, QByteArray> files;
};
std::optional<MpcdiContents> ReadMpcdiArchive(
    const QByteArray& bytes, QString* error, const ZipLimits& limits = {});

// One region's data, checked: its grid 2 x 2 or more and within its level, positions finite,
// its maps decodable.
struct MpcdiRegionData {
    MpcdiRegion region;
    int geometryLevel = 2;
    WarpGrid grid;
    QString interpolation;
    QImage alpha;
    double gammaEmbedded = 2.2;
    QImage beta; // null when the fileset names none
};
std::optional<MpcdiRegionData> ReadMpcdiRegion(
    const MpcdiContents& contents, const QString& regionId, QString* error);

} // namespace trivel
