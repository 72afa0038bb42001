#pragma once
// Portable float maps: the warp grids of the interchange files. Read in either byte order, in
// colour ('PF', three samples a point) or grey ('Pf', one); written little-endian colour.

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <optional>
#include <vector>

namespace trivel {

struct PfmImage {
    int width = 0;
    int height = 0;
    int channels = 3; // 3 for 'PF', 1 for 'Pf'
    // Row 0 is the top row: the file's last row (the format stores the bottom row first).
    std::vector<float> samples; // width * height * channels, row by row

    float at(int column, int row, int channel) const
    {
        return samples[(std::size_t(row) * std::size_t(width) + std::size_t(column)) * std::size_t(channels)
            + std::size_t(channel)];
    }
    float& at(int column, int row, int channel)
    {
        return samples[(std::size_t(row) * std::size_t(width) + std::size_t(column)) * std::size_t(channels)
            + std::size_t(channel)];
    }
};

// Far above any grid of a frame the box drives, low enough that a header cannot ask for more
// memory than the bytes it came with.
inline constexpr int kMaxPfmSide = 65536;

// Parses a whole file. On failure returns nothing and says why in *error (no file name in it).
std::optional<PfmImage> ReadPfm(const QByteArray& bytes, QString* error);

// 'PF', the given size, scale -1 (little-endian), bottom row first. channels must be 3.
QByteArray WritePfm(const PfmImage& image);

} // namespace trivel
