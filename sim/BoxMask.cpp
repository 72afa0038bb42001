// The simulated box's mask slots: uploads, stores, deletes and reads.

#include "sim/BoxModel.h"

#include "protocol/MaskFrames.h"

namespace trivel::sim {

void BoxModel::handleMask(std::uint32_t code, FrameView req, FrameView rep)
{
    const proto::MaskRequestView r{req};
    const int w = clampWindow(r.window());
    switch (code) {
    case Cmd::MaskShow: {
        auto& s = window(w);
        s.maskShown = r.shown() ? 1 : 0;
        if (s.maskShown)
            s.maskKind = std::uint8_t(r.kind());
        break;
    }
    case Cmd::MaskUploadMono:
    case Cmd::MaskUploadColour: {
        const std::size_t limit = code == Cmd::MaskUploadMono ? kMonoSlotLimit : kColourSlotLimit;
        const std::size_t pos = r.offset();
        const std::size_t size = std::min<std::size_t>(r.total(), limit);
        auto& up = m_maskUpload[std::size_t(w)];
        if (pos == 0 || up.size() != size)
            up.assign(size, 0);
        if (pos < size)
            r.chunk(up.data() + pos, size - pos);
        break;
    }
    case Cmd::MaskStore: {
        const int slot = r.slot();
        if (slot < kMaskSlots)
            m_maskSlots[std::size_t(slot)] = m_maskUpload[std::size_t(w)];
        break;
    }
    case Cmd::MaskDelete: {
        const int slot = r.slot();
        if (slot < kMaskSlots)
            m_maskSlots[std::size_t(slot)].clear();
        break;
    }
    case Cmd::MaskReadHeader:
    case Cmd::MaskReadColourHeader: {
        int slot = proto::kColourSlotOnWire;
        if (code == Cmd::MaskReadHeader) {
            slot = std::min<int>(r.slot(), proto::kColourSlotOnWire - 1);
            m_maskReadSlot = slot;
        }
        proto::PutMaskHeaderReply(rep, m_maskSlots[std::size_t(slot)]);
        break;
    }
    case Cmd::MaskReadChunk:
    case Cmd::MaskReadColourChunk: {
        const auto& data = m_maskSlots[std::size_t(
            code == Cmd::MaskReadChunk ? m_maskReadSlot : proto::kColourSlotOnWire)];
        const std::size_t pos = r.offset();
        if (pos < data.size())
            proto::PutMaskChunkReply(rep, std::span(data).subspan(pos));
        break;
    }
    default:
        break;
    }
}

} // namespace trivel::sim
