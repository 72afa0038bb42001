#include "firmware/FirmwareImage.h"

#include <QFile>
#include <QFileInfo>

#include <bit>

namespace trivel {

bool HasFirmwareExtension(const QString& fileName)
{
    const QString name = QFileInfo(fileName).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 && name.mid(dot).toUpper() == QLatin1String(".BIN");
}

FirmwareProcedure ChooseFirmwareProcedure(std::size_t size, const QString& fileName)
{
    if (size >= kFirmwareLargeSize)
        return FirmwareProcedure::Large;
    const QString head = QFileInfo(fileName).fileName().left(7).toUpper();
    if (head == QLatin1String("T52QBL_") || head == QLatin1String("R52QBL_"))
        return FirmwareProcedure::Prefixed;
    return FirmwareProcedure::Plain;
}

const char* FirmwareProcedureName(FirmwareProcedure p)
{
    switch (p) {
    case FirmwareProcedure::Plain:
        return "plain image";
    case FirmwareProcedure::Prefixed:
        return "prefixed image";
    case FirmwareProcedure::Large:
        return "large image";
    }
    return "";
}

std::uint32_t FirmwareSum(std::span<const std::uint8_t> image)
{
    std::uint32_t sum = 0;
    for (std::uint8_t b : image)
        sum += b;
    return sum;
}

QString FormatFirmwareChecksum(std::uint32_t sum)
{
    return QStringLiteral("%1 %2")
        .arg(sum >> 16, 4, 16, QLatin1Char('0'))
        .arg(sum & 0xFFFFu, 4, 16, QLatin1Char('0'))
        .toUpper();
}

std::optional<std::vector<std::uint8_t>> ReadFirmwareFile(const QString& path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile() || info.size() > kFirmwareMaxFileSize)
        return std::nullopt;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    // Read at most one byte past the limit, in case the file grew since the size was looked at.
    std::vector<std::uint8_t> bytes(std::size_t(info.size()));
    qint64 got = 0;
    while (got < qint64(bytes.size())) {
        const qint64 n = f.read(reinterpret_cast<char*>(bytes.data()) + got, qint64(bytes.size()) - got);
        if (n <= 0)
            return std::nullopt;
        got += n;
    }
    char extra = 0;
    if (qint64(bytes.size()) == kFirmwareMaxFileSize && f.read(&extra, 1) > 0)
        return std::nullopt;
    return bytes;
}

std::span<const std::uint8_t> FirmwarePieceAt(std::span<const std::uint8_t> image, std::size_t pos)
{
    if (pos >= image.size())
        return {};
    return image.subspan(pos, std::min(kFirmwarePiece, image.size() - pos));
}

std::size_t FirmwarePieceCount(std::size_t size)
{
    return (size + kFirmwarePiece - 1) / kFirmwarePiece;
}

int FirmwarePercent(qint64 position, qint64 minimum, qint64 maximum)
{
    if (maximum <= minimum)
        return 0;
    return int((position - minimum) * 100 / (maximum - minimum));
}

std::uint32_t BoardMaskColour(std::uint32_t boardMask)
{
    switch (std::popcount(boardMask & 0xFu)) {
    case 0:
        return 0xD77800;
    case 1:
        return 0x0000FF;
    case 2:
        return 0x008000;
    case 3:
        return 0xFFFF00;
    default:
        return 0x00FFFF;
    }
}

} // namespace trivel
