#pragma once
// Firmware image checks: plain functions over the file name and bytes, no session.

#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace trivel {

enum class FirmwareProcedure { Plain, Prefixed, Large };

inline constexpr std::size_t kFirmwarePiece = 256;
inline constexpr std::size_t kFirmwareMinSize = 64;
inline constexpr std::size_t kFirmwareLargeSize = 393216;
// Far beyond any image of the box; a larger file is refused before it is read.
inline constexpr qint64 kFirmwareMaxFileSize = qint64(64) << 20;

// Whether the file name's extension, upper-cased, is ".BIN".
bool HasFirmwareExtension(const QString& fileName);

// The procedure for an image of `size` bytes in a file of that name (a path is allowed).
FirmwareProcedure ChooseFirmwareProcedure(std::size_t size, const QString& fileName);
const char* FirmwareProcedureName(FirmwareProcedure p);

// Unsigned 32-bit sum of all bytes, wrapping.
std::uint32_t FirmwareSum(std::span<const std::uint8_t> image);
// "0012 ABCD": upper 16 bits, a space, lower 16 bits.
QString FormatFirmwareChecksum(std::uint32_t sum);
// The short procedures compare the box's 16-bit value with the lower half of the sum.
constexpr bool Checksum16Matches(std::uint16_t box, std::uint32_t sum)
{
    return box == std::uint16_t(sum & 0xFFFFu);
}

// The whole file, or nothing when it is missing, not a regular file, unreadable or larger than
// kFirmwareMaxFileSize (checked before reading).
std::optional<std::vector<std::uint8_t>> ReadFirmwareFile(const QString& path);

// Piece starting at `pos`: up to 256 bytes, fewer at the end of the image.
std::span<const std::uint8_t> FirmwarePieceAt(std::span<const std::uint8_t> image, std::size_t pos);
std::size_t FirmwarePieceCount(std::size_t size);

// Position of the progress bar as a percentage of its range, truncated; 0 for an empty range.
int FirmwarePercent(qint64 position, qint64 minimum, qint64 maximum);

// Progress bar colour (0x00BBGGRR) for the boards present; only bits 0..3 are boards.
std::uint32_t BoardMaskColour(std::uint32_t boardMask);

} // namespace trivel
