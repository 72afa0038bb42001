#pragma once
// The alignment procedure: patterns through the box, photos, decoding, the solve, the undo file,
// the send, and verification with the test grid (with a correcting second pass). It runs over
// the three ports of AlignPorts.h and waits through the project's clock, so tests drive it with
// a simulated rig and a virtual clock. Nothing is sent unless every window decodes and solves.

#include "align/Decode.h"
#include "align/GridMeasure.h"

#include <QImage>
#include <QLoggingCategory>
#include <QSize>
#include <QStringList>

#include <vector>

Q_DECLARE_LOGGING_CATEGORY(lcAlign)

namespace trivel {
class Clock;
}

namespace trivel::align {

struct AlignOptions {
    WallLayout layout;
    std::array<QSize, 4> frames{QSize(1920, 1080), QSize(1920, 1080), QSize(1920, 1080), QSize(1920, 1080)};
    int settleMs = 250; // after each change on the wall, before the camera looks
    int framesAveraged = 3; // per photo (a still camera gives one)
    int passes = 2; // 1: solve, send, verify; 2: then correct what the verification shows, send, verify again
    bool dryRun = false; // solve and report, send nothing
    bool pointMode = false; // send 17x17 point offsets instead of User Map tables
    bool reportPhotos = true; // grid photos of the whole wall before and after
    SolveOptions solve;
    std::optional<ScreenMarks> marks; // else what the camera offers, else a square camera
    // The canvas's corners marked on the camera picture: top-left, top-right, bottom-right,
    // bottom-left, photo pixels. They fix the screen frame and the canvas both (CanvasMarks).
    std::optional<std::array<Vec2, 4>> canvasCorners;
    std::optional<LensModel> lens; // else what the camera offers, else none
    std::size_t monoMaskLimit = kMonoMaskLimitSmall; // the box's MonoMaskLimit
    double minStripeCameraPixels = 6.0;
    double gridCameraPixels = 22.0; // between verification grid lines
    LightLimits light;
};

struct WindowReport {
    int bitsX = 0;
    int bitsY = 0;
    PatternCost patterns; // the streams shown for this window
    double fitRmsX = 0.0; // stripe boundaries against the fitted mapping, output pixels
    double fitRmsY = 0.0;
    int boundarySamples = 0;
    std::vector<ResidualStats> residual; // per verification, screen pixels
    bool corrected = false; // a verification showed a correction worth making
    double correction = 0.0; // its largest shift, screen pixels
};

struct SeamReport {
    Seam seam;
    std::vector<ResidualStats> residual; // per verification
};

struct AlignReport {
    bool ok = false;
    bool sent = false;
    QStringList errors;
    QStringList warnings;
    QString undoFile;
    Solution solution;
    std::vector<WindowReport> windows;
    std::vector<SeamReport> seams;
    std::vector<GridCrossing> crossings; // of the last verification
    QImage before; // the wall's grids as they were
    QImage after;
    QImage heatMap;
    // What it cost: photos taken, box round trips (each mask chunk, show, table chunk and setting
    // is one), the settle waits.
    int photos = 0;
    int roundTrips = 0;
    qint64 settleMs = 0;
};

class AlignProcedure {
public:
    AlignProcedure(
        PatternDisplay& display, ResultSink& sink, CameraSource& camera, Clock& clock, AlignOptions options);
    void setProgress(AlignProgress* progress) { m_progress = progress; }

    AlignReport run();

    // After run(): the windows as measured (with the corrections of the verification passes).
    const std::vector<WindowGeometry>& geometry() const { return m_geometry; }

private:
    bool capture(Photo& out);
    bool show(int window, const MaskBytes& stream);
    bool showGrid(int window, const GridSpec& grid);
    bool blank(int window);
    bool measureWindows();
    enum class Outcome { Done, WindowProblem, Abort };
    Outcome measureWindow(int window, const Photo& white, std::vector<WindowMapping>& mappings);
    bool solve();
    bool placeCamera(const LensModel& lens, SolveOptions& solve);
    void warnOutsideLight();
    bool send(bool tablesOnly);
    bool verify(int pass);
    enum class Correction { Sent, None, Failed };
    Correction correct();
    bool wallPhoto(QImage& out);
    void say(const QString& text);
    bool fail(const QString& message);

    PatternDisplay& m_display;
    ResultSink& m_sink;
    CameraSource& m_camera;
    Clock& m_clock;
    AlignOptions m_options;
    AlignProgress* m_progress = nullptr;
    AlignReport m_report;
    Photo m_dark;
    std::optional<CameraView> m_view;
    std::vector<WindowGeometry> m_geometry;
    std::vector<double> m_outputPerCamera;
    GridSpec m_grid;
};

// Round trips that are not mask streams, as the box's chains count them.
inline constexpr int kRoundTripsGrid = 3; // mask off, grid spacing, pattern colour
inline constexpr int kRoundTripsBlank = 1; // the mask preview off
inline constexpr int kRoundTripsTables = 2 * 44 + 1; // 44 chunks per table and the apply
inline constexpr int kRoundTripsPoints = 3 + 1; // three point chunks and point mode
inline constexpr int kRoundTripsBlend = 15; // widths, shifts, three gammas, offset, three gains

} // namespace trivel::align
