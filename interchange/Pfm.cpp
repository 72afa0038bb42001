#include "interchange/Pfm.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace trivel {

namespace {

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The header's three whitespace-separated fields after the magic; each ends with one white
// space character, the last of which is the final byte before the raster.
class HeaderTokens {
public:
    explicit HeaderTokens(const QByteArray& bytes)
        : m_bytes(bytes)
    {
    }
    // The next token of at most 32 characters, or nothing at the end or for a longer one.
    std::optional<QByteArray> next()
    {
        while (m_pos < m_bytes.size() && IsSpace(m_bytes[m_pos]))
            ++m_pos;
        const qsizetype start = m_pos;
        while (m_pos < m_bytes.size() && !IsSpace(m_bytes[m_pos]) && m_pos - start <= 32)
            ++m_pos;
        if (m_pos == start || m_pos - start > 32 || m_pos >= m_bytes.size())
            return std::nullopt;
        return m_bytes.mid(start, m_pos - start);
    }
    // Position after the single white space character that ends the header.
    qsizetype rasterStart() const { return m_pos + 1; }

private:
    const QByteArray& m_bytes;
    qsizetype m_pos = 2; // after the magic
};

std::optional<int> Dimension(const std::optional<QByteArray>& token)
{
    if (!token)
        return std::nullopt;
    for (char c : *token)
        if (c < '0' || c > '9')
            return std::nullopt;
    bool ok = false;
    const int v = token->toInt(&ok);
    if (!ok || v < 1 || v > kMaxPfmSide)
        return std::nullopt;
    return v;
}

float FloatFrom(const unsigned char* p, bool littleEndian)
{
    std::uint32_t u = littleEndian ? std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8
            | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24
                                   : std::uint32_t(p[3]) | std::uint32_t(p[2]) << 8
            | std::uint32_t(p[1]) << 16 | std::uint32_t(p[0]) << 24;
    return std::bit_cast<float>(u);
}

bool Fail(QString* error, const QString& why)
{
    if (error)
        *error = why;
    return false;
}

} // namespace

std::optional<PfmImage> ReadPfm(const QByteArray& bytes, QString* error)
{
    if (bytes.size() < 3 || bytes[0] != 'P' || (bytes[1] != 'F' && bytes[1] != 'f') || !IsSpace(bytes[2])) {
        Fail(error, QStringLiteral("not a PFM file (it does not start with \"PF\" or \"Pf\")"));
        return std::nullopt;
    }
    PfmImage img;
    img.channels = bytes[1] == 'F' ? 3 : 1;
    HeaderTokens tokens(bytes);
    const std::optional<int> width = Dimension(tokens.next());
    const std::optional<int> height = Dimension(tokens.next());
    if (!width || !height) {
        Fail(
            error, QStringLiteral("the PFM header has no valid size (1..%1 points a side)").arg(kMaxPfmSide));
        return std::nullopt;
    }
    const std::optional<QByteArray> scaleText = tokens.next();
    bool ok = false;
    const double scale = scaleText ? scaleText->toDouble(&ok) : 0.0;
    if (!ok || scale == 0.0 || !std::isfinite(scale)) {
        Fail(error, QStringLiteral("the PFM header has no valid scale (a non-zero number)"));
        return std::nullopt;
    }
    const bool littleEndian = scale < 0.0;
    img.width = *width;
    img.height = *height;
    const std::size_t count = std::size_t(img.width) * std::size_t(img.height) * std::size_t(img.channels);
    const qsizetype start = tokens.rasterStart();
    const std::size_t available = start <= bytes.size() ? std::size_t(bytes.size() - start) : 0;
    if (available / 4 < count) {
        Fail(error,
            QStringLiteral("the PFM raster is cut short: %1 x %2 points need %3 bytes, the file has %4")
                .arg(img.width)
                .arg(img.height)
                .arg(qulonglong(count) * 4)
                .arg(qulonglong(available)));
        return std::nullopt;
    }
    img.samples.resize(count);
    const auto* raster = reinterpret_cast<const unsigned char*>(bytes.constData() + start);
    const std::size_t rowSamples = std::size_t(img.width) * std::size_t(img.channels);
    for (int fileRow = 0; fileRow < img.height; ++fileRow) {
        // The file runs bottom to top.
        float* dst = img.samples.data() + std::size_t(img.height - 1 - fileRow) * rowSamples;
        const unsigned char* src = raster + std::size_t(fileRow) * rowSamples * 4;
        for (std::size_t i = 0; i < rowSamples; ++i)
            dst[i] = FloatFrom(src + 4 * i, littleEndian);
    }
    return img;
}

QByteArray WritePfm(const PfmImage& image)
{
    Q_ASSERT(image.channels == 3);
    Q_ASSERT(image.samples.size() == std::size_t(image.width) * std::size_t(image.height) * 3);
    QByteArray out = QByteArrayLiteral("PF\n") + QByteArray::number(image.width) + ' '
        + QByteArray::number(image.height) + QByteArrayLiteral("\n-1.0\n");
    const qsizetype header = out.size();
    const std::size_t rowSamples = std::size_t(image.width) * 3;
    out.resize(header + qsizetype(image.samples.size() * 4));
    auto* dst = reinterpret_cast<unsigned char*>(out.data() + header);
    for (int fileRow = 0; fileRow < image.height; ++fileRow) {
        const float* src = image.samples.data() + std::size_t(image.height - 1 - fileRow) * rowSamples;
        for (std::size_t i = 0; i < rowSamples; ++i, dst += 4) {
            const std::uint32_t u = std::bit_cast<std::uint32_t>(src[i]);
            dst[0] = std::uint8_t(u);
            dst[1] = std::uint8_t(u >> 8);
            dst[2] = std::uint8_t(u >> 16);
            dst[3] = std::uint8_t(u >> 24);
        }
    }
    return out;
}

} // namespace trivel
