#include "preview/PreviewSession.h"

#include "box/Box.h"
#include "mask/MaskCodec.h"
#include "mask/Masks.h"
#include "session/Session.h"
#include "settings/SettingsState.h"
#include "warp/WarpAdjustState.h"
#include "warp/WarpModel.h"

#include <memory>
#include <optional>

namespace trivel {

namespace {

void TakeTables(const WarpState& ws, std::vector<std::uint16_t>& x, std::vector<std::uint16_t>& y)
{
    x.assign(ws.SourceXTable.begin(), ws.SourceXTable.end());
    y.assign(ws.SourceYTable.begin(), ws.SourceYTable.end());
}

// The pattern and name of a box-side warp mode.
struct BoxSideWarp {
    std::uint8_t pattern = Pattern17x17;
    QString what;
};

// Puts the control points of the window's box-side mode into `m` (cleared before): the mode's
// pattern and its name, or nothing for a mode the tool does not know.
std::optional<BoxSideWarp> PlaceControlPoints(
    WarpModel& m, const WarpAdjustState& a, const WarpModel& src, std::size_t wi)
{
    const int mode = m.ControlPattern;
    switch (mode) {
    case WarpMode::Keystone:
        for (int c = 0; c < kKeystoneCorners; ++c) {
            const PointOffset& p = a.KeystoneCorners[wi][std::size_t(c)];
            SetCornerOffset(m, c, {p.x, p.y});
        }
        return BoxSideWarp{Pattern2x2, QStringLiteral("2x2 keystone")};
    case WarpMode::Grid3x3:
    case WarpMode::Grid5x3:
    case WarpMode::Grid9x5:
        for (int r = 0; r < 5; ++r) {
            for (int c = 0; c < 9; ++c) {
                if (!ControlColumnMask(mode, c) || !ControlRowMask(mode, r))
                    continue;
                const PointOffset& p = a.ControlOffsets[wi][std::size_t(r * 9 + c)];
                SetPointOffset(m, c * 2, r * 4, {p.x, p.y});
            }
        }
        return mode == WarpMode::Grid3x3 ? BoxSideWarp{Pattern3x3, QStringLiteral("3x3")}
            : mode == WarpMode::Grid5x3  ? BoxSideWarp{Pattern5x3, QStringLiteral("5x3")}
                                         : BoxSideWarp{Pattern9x5, QStringLiteral("9x5")};
    case WarpMode::Wall: {
        // Corners and edge midpoints, in the order the box keeps them.
        static constexpr int kWallColumn[kWallPoints] = {0, 8, 16, 0, 16, 0, 8, 16};
        static constexpr int kWallRow[kWallPoints] = {0, 0, 0, 8, 8, 16, 16, 16};
        for (int i = 0; i < kWallPoints; ++i) {
            const PointOffset& p = a.WallPoints[wi][std::size_t(i)];
            SetPointOffset(m, kWallColumn[i], kWallRow[i], {p.x, p.y});
        }
        return BoxSideWarp{Pattern3x3, QStringLiteral("WALL")};
    }
    default:
        if (mode == WarpMode::Points || (mode >= WarpMode::FirstUserMap && mode <= WarpMode::LastUserMap)) {
            for (int k = 0; k < kGridSize; ++k)
                for (int j = 0; j < kGridSize; ++j)
                    SetPointOffset(m, k, j, src.PointOffsets[std::size_t(k)][std::size_t(j)]);
            return BoxSideWarp{Pattern17x17,
                mode == WarpMode::Points
                    ? QStringLiteral("17x17 point")
                    : QStringLiteral("stored user map %1 (from the point data last loaded)")
                          .arg(mode - WarpMode::FirstUserMap + 1)};
        }
        return std::nullopt;
    }
}

} // namespace

bool UsesUserMapTables(const Session& s, int window)
{
    const auto wi = std::size_t(std::clamp(window, 0, 3));
    // The User Map page has sent its tables since Warp Adjust last took the box back to its own
    // warp (UDT 3 when that page is shown), and the transfer has been applied.
    return s.box->warp.adjust().UserMapShown[wi] && s.box->warp.adjust().userMap.TableTransferred[wi];
}

bool PreviewWarpTables(const Session& s, int window, std::vector<std::uint16_t>& sourceX,
    std::vector<std::uint16_t>& sourceY, QString& note)
{
    const int w = std::clamp(window, 0, 3);
    const auto wi = std::size_t(w);
    const QString name = QStringLiteral("window %1").arg(w + 1);
    if (UsesUserMapTables(s, w)) {
        if (s.box->warp.state().WarpWindow == w) {
            TakeTables(s.box->warp.state(), sourceX, sourceY);
            note = QStringLiteral("Geometry: the User Map tables of %1, as the box uses them.").arg(name);
            return true;
        }
        // The shared tables describe another window: compute this one's as the User Map would.
        auto ws = std::make_unique<WarpState>(s.box->warp.state());
        ws->WarpWindow = w;
        try {
            RebuildWarpTables(*ws);
        } catch (const WarpMathError&) {
            sourceX.clear();
            sourceY.clear();
            note = QStringLiteral("Geometry: the User Map grid of %1 cannot be computed; shown unwarped.")
                       .arg(name);
            return false;
        }
        TakeTables(*ws, sourceX, sourceY);
        note = QStringLiteral("Geometry: the User Map tables of %1, as the box uses them.").arg(name);
        return true;
    }

    auto ws = std::make_unique<WarpState>(s.box->warp.state());
    ws->WarpWindow = w;
    WarpModel& m = ws->current();
    for (int k = 0; k < kGridSize; ++k)
        for (int j = 0; j < kGridSize; ++j)
            SetPointOffset(m, k, j, {});
    for (int c = 0; c < 4; ++c)
        SetCornerOffset(m, c, {});

    const int mode = m.ControlPattern;
    if (mode == WarpMode::Off) {
        sourceX.clear();
        sourceY.clear();
        note = QStringLiteral("Geometry: warp off.");
        return true;
    }
    const std::optional<BoxSideWarp> placed
        = PlaceControlPoints(m, s.box->warp.adjust(), s.box->warp.state().model[wi], wi);
    if (!placed) {
        sourceX.clear();
        sourceY.clear();
        note = QStringLiteral("Geometry: warp mode %1 is unknown; shown unwarped.").arg(mode);
        return false;
    }
    const std::uint8_t pattern = placed->pattern;
    const QString& what = placed->what;
    SelectWarpPattern(*ws, pattern);
    try {
        RebuildWarpTables(*ws);
    } catch (const WarpMathError&) {
        sourceX.clear();
        sourceY.clear();
        note = QStringLiteral("Geometry: the %1 warp of %2 cannot be computed; shown unwarped.")
                   .arg(what, name);
        return false;
    }
    TakeTables(*ws, sourceX, sourceY);
    note = QStringLiteral("Geometry: box-side %1 warp, approximated by the tool's warp model (the box "
                          "interpolates it itself).")
               .arg(what);
    return false;
}

PreviewMask PreviewMaskOf(const MaskState& mask, int window, QString& note)
{
    PreviewMask out;
    const int slot = mask.MaskAssignment[std::size_t(std::clamp(window, 0, 3))];
    if (slot < 1 || slot > kMonoSlots + 1) {
        note = QStringLiteral("Mask: off.");
        return out;
    }
    const SlotCopy& copy
        = slot <= kMonoSlots ? mask.MonoSlotCopy[std::size_t(slot - 1)] : mask.ColourSlotCopy;
    MaskHeader h;
    if (!ReadMaskHeader(copy.data(), copy.size(), h) || !h.holdsMask() || h.size == 0) {
        note = QStringLiteral("Mask: slot %1 is empty.").arg(slot);
        return out;
    }
    // Offsets are unsigned in the header; a damaged one must not wrap into a huge shift.
    out.offsetX = int(std::min<std::uint32_t>(h.offsetX, 65535));
    out.offsetY = int(std::min<std::uint32_t>(h.offsetY, 65535));
    if (slot <= kMonoSlots) {
        MaskDecodeResult r = DecodeMonoMask(copy.data(), copy.size());
        if (!r.ok) {
            note = QStringLiteral("Mask: slot %1 cannot be decoded.").arg(slot);
            return out;
        }
        const std::array<MaskRgb, 2> palette = MonoPreviewPalette(h);
        out.kind = PreviewMask::Kind::Mono;
        out.picture = std::move(r.picture);
        out.maskValue = h.reverse != 0 ? 0 : 1;
        out.colour = palette[std::size_t(out.maskValue)];
        out.backgroundMasked = h.backgroundMasked != 0;
        note = QStringLiteral("Mask: slot %1, mono%2.")
                   .arg(slot)
                   .arg(h.reverse ? QStringLiteral(", reversed") : QString());
    } else {
        MaskDecodeResult r = RenderColourMask(copy.data(), copy.size());
        if (!r.ok) {
            note = QStringLiteral("Mask: slot %1 cannot be decoded.").arg(slot);
            return out;
        }
        out.kind = PreviewMask::Kind::Colour;
        out.picture = std::move(r.picture);
        note = QStringLiteral("Mask: slot %1, colour.").arg(slot);
    }
    return out;
}

PreviewInput BuildPreviewInput(const Session& s, int window, const QImage& source)
{
    PreviewInput in;
    const int w = std::clamp(window, 0, 3);
    const WarpModel& m = s.box->warp.state().model[std::size_t(w)];
    in.width = m.frameWidth;
    in.height = m.frameHeight;
    in.source = PrepareSourceForFrame(source, in.width, in.height);
    QString note;
    if (!WarpFrameSizeFits(in.width, in.height))
        in.notes << QStringLiteral("The frame %1 x %2 does not fit the warp tables; nothing is drawn.")
                        .arg(in.width)
                        .arg(in.height);
    PreviewWarpTables(s, w, in.sourceX, in.sourceY, note);
    in.notes << note;
    in.blend = s.settings().BlendSettings[std::size_t(w)];
    in.notes << QStringLiteral("Blend, colour and black level: approximated by the documented curve.");
    in.notes << QStringLiteral("Not shown: the Image page (brightness, contrast, sharpness, hue, saturation, "
                               "colour gains), video-wall zoom, pan, overscan and orientation, PIP.");
    in.mask = PreviewMaskOf(s.masks->state(), w, note);
    in.notes << note;
    return in;
}

} // namespace trivel

namespace trivel {

std::size_t PreviewFingerprint(const Session& s, int window)
{
    const int w = std::clamp(window, 0, 3);
    const auto wi = std::size_t(w);
    const WarpModel& m = s.box->warp.state().model[wi];
    const WarpAdjustState& a = s.box->warp.adjust();
    std::size_t h = qHash(w);
    auto mix = [&h](const void* data, std::size_t bytes) { h = qHashBits(data, bytes, h); };
    const std::int32_t frame[2] = {m.frameWidth, m.frameHeight};
    mix(frame, sizeof frame);
    const std::uint8_t modes[3] = {m.ControlPattern, m.WarpPattern, std::uint8_t(UsesUserMapTables(s, w))};
    mix(modes, sizeof modes);
    mix(m.PointOffsets.data(), sizeof m.PointOffsets);
    mix(m.UserGrid.data(), sizeof m.UserGrid);
    mix(m.CornerPositions.data(), sizeof m.CornerPositions);
    mix(a.ControlOffsets[wi].data(), sizeof a.ControlOffsets[wi]);
    mix(a.WallPoints[wi].data(), sizeof a.WallPoints[wi]);
    mix(a.KeystoneCorners[wi].data(), sizeof a.KeystoneCorners[wi]);
    if (UsesUserMapTables(s, w) && s.box->warp.state().WarpWindow == w) {
        mix(s.box->warp.state().SourceXTable.data(), sizeof s.box->warp.state().SourceXTable);
        mix(s.box->warp.state().SourceYTable.data(), sizeof s.box->warp.state().SourceYTable);
    }
    mix(s.settings().BlendSettings[wi].bytes.data(), BlendRecord::kSize);
    const int slot = s.masks->state().MaskAssignment[wi];
    mix(&slot, sizeof slot);
    if (slot >= 1 && slot <= kMonoSlots + 1) {
        const auto& copy = slot <= kMonoSlots ? s.masks->state().MonoSlotCopy[std::size_t(slot - 1)]
                                              : s.masks->state().ColourSlotCopy;
        // Header and the start of the body: a stored mask changes its header's size or offsets.
        mix(copy.data(), std::min<std::size_t>(copy.size(), 4096));
    }
    return h;
}

} // namespace trivel
