// The simulated box's firmware download: the image collected, its checksum reported.

#include "sim/BoxModel.h"

#include "protocol/FirmwareFrames.h"

#include <algorithm>

namespace trivel::sim {

namespace {

constexpr std::size_t kFirmwareLimit = 64u << 20; // larger announced images are cut here

} // namespace

// The box's checksum of a downloaded image is the 32-bit wrapping sum of its bytes; the short
// procedures report its lower 16 bits, the large one reports it for every board present.
std::uint32_t BoxModel::firmwareChecksum() const
{
    std::uint32_t sum = 0;
    for (std::uint8_t b : m_firmware)
        sum += b;
    return sum + (corruptFirmwareChecksum ? 1 : 0);
}

void BoxModel::handleFirmware(std::uint32_t code, FrameView req, FrameView rep)
{
    const proto::FirmwareRequestView r{req};
    switch (code) {
    case Cmd::FwShortStart:
    case Cmd::FwPrefixedStart:
    case Cmd::FwLargeStart:
        m_firmware.assign(std::min<std::size_t>(r.size(), kFirmwareLimit), 0);
        break;
    case Cmd::FwShortData:
    case Cmd::FwPrefixedData:
    case Cmd::FwLargeData: {
        const std::size_t pos = r.position();
        if (pos < m_firmware.size())
            r.copyPiece(m_firmware.data() + pos, std::min<std::size_t>(256, m_firmware.size() - pos));
        break;
    }
    case Cmd::FwShortEnd:
    case Cmd::FwPrefixedEnd:
        proto::PutFirmwareShortEnd(rep, std::uint16_t(firmwareChecksum()));
        break;
    case Cmd::FwLargeEnd:
        for (int b = 0; b < proto::kFirmwareBoards; ++b)
            proto::PutFirmwareBoardSum(rep, b, (identity.boardMask >> b) & 1 ? firmwareChecksum() : 0);
        break;
    case Cmd::FwLargeBoardQuery:
        proto::PutFirmwareBoards(rep, m_boardQueries++ < boardQueryEmptyReplies ? 0 : identity.boardMask);
        break;
    default:
        break;
    }
}

} // namespace trivel::sim
