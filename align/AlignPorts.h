#pragma once
// The three narrow interfaces the alignment procedure runs over, so that the same procedure
// drives the simulated rig in process (tests, benchmarks) and the box through the session:
// a pattern display, a result sink and a camera. Every call blocks until it is done; the
// procedure runs on a thread of its own when the GUI must stay live.

#include "align/AlignTypes.h"
#include "mask/MaskCodec.h"
#include "settings/SettingsState.h"
#include "warp/WarpState.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace trivel::align {

// The box's test grid, in source pixels: lines every `spacing` pixels (the first at 0), each
// `lineWidth` pixels wide, from (lineWidth - 1) / 2 pixels before its position. The grid goes
// through the window's warp.
struct GridSpec {
    int spacing = 120;
    int lineWidth = 3;
    // Where line k's middle lies: k * spacing, half a pixel later for an even width.
    double lineCentre(int k) const { return k * spacing + ((lineWidth - 1) % 2) * 0.5; }
    bool operator==(const GridSpec&) const = default;
};

class PatternDisplay {
public:
    virtual ~PatternDisplay() = default;
    // Shows a mono mask stream (as PatternStream builds it) on the window, over a black source.
    virtual bool showMask(int window, const MaskBytes& stream, QString& error) = 0;
    // Takes the mask away and shows the test grid through the window's warp and blend.
    virtual bool showGrid(int window, const GridSpec& grid, QString& error) = 0;
    // The window black: no mask, no grid.
    virtual bool blank(int window, QString& error) = 0;
    // Back to normal: no mask, no grid, the window's input through its warp and blend.
    virtual bool release(int window, QString& error) = 0;
};

// SourceXTable / SourceYTable of one window: 132 x 78 entries, column-major, 1/16 pixel.
struct SourceTables {
    std::vector<std::uint16_t> x;
    std::vector<std::uint16_t> y;
};

// The edge blend of one window. Sides in BlendRecord order: left, right, top, bottom.
struct BlendPlan {
    std::array<int, 4> width{}; // 0: no blend on that side
    std::array<int, 4> shift{};
    int transitionGamma = 220; // x100, the same for red, green and blue
    int gammaOffset = 100; // x100; gammaOffset / transitionGamma is the ramp's exponent
    // Writes widths, shifts, the curve and neutral gamma gains; leaves colour and black level alone.
    void applyTo(BlendRecord& record) const;
    bool operator==(const BlendPlan&) const = default;
};

class ResultSink {
public:
    virtual ~ResultSink() = default;
    // Saves the box's setting file before anything changes, so one load undoes the alignment.
    virtual bool saveUndoFile(QString& savedAs, QString& error) = 0;
    virtual bool sendTables(int window, const SourceTables& tables, QString& error) = 0;
    virtual bool sendPointOffsets(int window, const GridArray<OffsetPair>& offsets, QString& error) = 0;
    virtual bool sendBlend(int window, const BlendPlan& blend, QString& error) = 0;
};

class CameraSource {
public:
    virtual ~CameraSource() = default;
    virtual bool open(QString& error) = 0;
    // One frame as the camera gives it now.
    virtual std::optional<Photo> grab(QString& error) = 0;
    // One photo per pattern (a folder of photos taken by hand): no frames are averaged.
    virtual bool stillCamera() const { return false; }
    // The lens, when the camera has been calibrated (or is simulated).
    virtual std::optional<LensModel> lens() const { return std::nullopt; }
    // Screen corners as the simulated rig's user would mark them; a real camera has none.
    virtual std::optional<ScreenMarks> marks() const { return std::nullopt; }
    virtual QString describe() const = 0;
};

// Where the procedure says what it is doing; one line per step.
class AlignProgress {
public:
    virtual ~AlignProgress() = default;
    virtual void step(const QString& text) = 0;
};

} // namespace trivel::align
