// The simulated box's warp: the blocks it reports, the point mode, the bulk tables, the stored
// maps and the User Map tables, parsed and answered through the tool's own warp frames.

#include "sim/BoxModel.h"

#include "protocol/WarpFrames.h"

#include <algorithm>

namespace trivel::sim {

bool BoxModel::answerWarp(std::uint32_t code, FrameView req, FrameView rep)
{
    switch (code) {
    case Cmd::ReadWarpA:
    case Cmd::ReadWarpB:
        putWarpOffsets(rep, code == Cmd::ReadWarpA ? 0 : 2);
        return true;
    case Cmd::ReadWarpC:
        putWarpTableC(rep);
        return true;
    case Cmd::PointModeEnter:
        window(req.u8(8)).controlPattern = 100;
        m_userMapShown[std::size_t(clampWindow(req.u8(8)))] = false;
        return true;
    case Cmd::PointModePoint:
        applyPoint(req);
        return true;
    case Cmd::PointModeChunk: {
        const proto::PointModeChunkView v{req};
        v.copyTo(window(v.window()).pointOffsets);
        return true;
    }
    case Cmd::TestPatternColour: {
        const proto::PatternColourView v{req};
        window(v.window()).patternColour = std::uint8_t(v.code());
        return true;
    }
    case Cmd::ControlCursor: {
        const proto::ControlCursorView v{req};
        auto& s = window(v.window());
        s.controlCursor = std::uint8_t(v.index());
        s.controlCursorShown = v.shown() ? 1 : 0;
        return true;
    }
    case Cmd::SaveWarpMap:
    case Cmd::QueryWarpMap:
    case Cmd::ReadWarpMapBlock:
        handleMap(code, req, rep);
        return true;
    case Cmd::UserMapWall: {
        const proto::UserMapWallView v{req};
        auto& s = window(v.window());
        for (std::size_t i = 0; i < s.userMapWall.size(); ++i)
            s.userMapWall[i] = v.word(i);
        return true;
    }
    case Cmd::UserMapSourceX:
    case Cmd::UserMapSourceY: {
        auto& table = code == Cmd::UserMapSourceX ? m_userMapIncoming.x : m_userMapIncoming.y;
        proto::SourceChunkView{req}.copyTo(table, kUserMapColumns);
        return true;
    }
    case Cmd::UserMapApply: {
        const int w = clampWindow(req.u8(8));
        m_userMaps[std::size_t(w)] = m_userMapIncoming;
        m_userMapShown[std::size_t(w)] = true;
        if (onUserMapApplied)
            onUserMapApplied(w);
        return true;
    }
    default:
        return false;
    }
}

void BoxModel::applyPoint(FrameView req)
{
    const proto::PointModePointView v{req};
    auto& s = window(v.window());
    if (v.column() < int(kPointGrid) && v.row() < int(kPointGrid)) {
        FrameView p(s.pointOffsets.data(), s.pointOffsets.size());
        const std::size_t off = std::size_t(v.column()) * kPointGrid * 4 + std::size_t(v.row()) * 4;
        p.put16(off, std::uint16_t(std::int16_t(std::clamp(v.dx(), -32768, 32767))));
        p.put16(off + 2, std::uint16_t(std::int16_t(std::clamp(v.dy(), -32768, 32767))));
    }
    s.controlPattern = 100;
    m_userMapShown[std::size_t(clampWindow(v.window()))] = false;
}

void BoxModel::putWarpOffsets(FrameView rep, int firstWindow) const
{
    for (int k = 0; k < 2; ++k) {
        const auto& s = m_settings.windows[std::size_t(firstWindow + k)];
        for (std::size_t i = 0; i < s.controlOffsets.size(); ++i)
            proto::PutControlOffsetWord(rep, k, i, s.controlOffsets[i]);
    }
}

void BoxModel::putWarpTableC(FrameView rep) const
{
    for (std::size_t w = 0; w < kWindows; ++w) {
        const auto& s = m_settings.windows[w];
        proto::PutWarpTableC(rep, w, s.controlPattern, s.wallPoints, s.keystoneCorners);
    }
}

void BoxModel::selectStoredMap(int w, int slot)
{
    m_mapReadSlot[std::size_t(clampWindow(w))] = slot;
    if (const auto& m = storedMap(w, slot)) {
        auto& s = window(w);
        s.pointOffsets = m->pointOffsets;
        s.keystoneCorners = m->keystoneCorners;
    }
}

void BoxModel::handleMap(std::uint32_t code, FrameView req, FrameView rep)
{
    const proto::MapRequestView v{req};
    const int w = clampWindow(v.window());
    proto::PutMapReplyHead(rep, w);
    switch (code) {
    case Cmd::SaveWarpMap: {
        if (v.slot() < kMapSlots) {
            const auto& s = window(w);
            storedMap(w, v.slot()) = StoredMap{s.pointOffsets, s.keystoneCorners, std::uint8_t(v.pattern())};
        }
        proto::PutMapSaveReply(rep, v.slot());
        break;
    }
    case Cmd::QueryWarpMap: {
        const bool held = v.slot() < kMapSlots && storedMap(w, v.slot()).has_value();
        if (v.slot() < kMapSlots)
            m_mapReadSlot[std::size_t(w)] = v.slot();
        proto::PutMapQueryReply(rep, held, v.slot());
        break;
    }
    case Cmd::ReadWarpMapBlock: {
        const int block = v.block();
        const auto& m = storedMap(w, m_mapReadSlot[std::size_t(w)]);
        proto::PutMapBlockNumber(rep, block);
        if (!m || block >= proto::kMapBlocks)
            break;
        const std::span<const std::uint8_t> points(m->pointOffsets);
        const std::size_t first = proto::kMapBlockBytes * std::size_t(block);
        if (block < proto::kMapBlocks - 1)
            proto::PutMapBlock(rep, points.subspan(first, proto::kMapBlockBytes), {});
        else
            proto::PutMapBlock(rep, points.subspan(first), m->keystoneCorners);
        break;
    }
    default:
        break;
    }
}

} // namespace trivel::sim
