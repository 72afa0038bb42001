#pragma once
// ZIP archives in memory through libzip: what an .mpcdi file is on disk. The reader refuses what
// could hurt the tool (huge or lying sizes, paths that leave the archive) before it reads.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace trivel {

struct ZipEntry {
    QString name;
    QByteArray data;
};

struct ZipLimits {
    // Per entry and for all entries together, declared and actually inflated.
    std::uint64_t maxEntryBytes = std::uint64_t(256) << 20;
    std::uint64_t maxTotalBytes = std::uint64_t(256) << 20;
    std::int64_t maxEntries = 4096;
};

// A name inside the archive that stays inside it: relative, no ".." part, no drive letter.
bool IsSafeArchivePath(const QString& name);

// Every file entry (directories are skipped), in archive order. On a refusal returns nothing and
// puts the message the user sees into *error.
std::optional<std::vector<ZipEntry>> ReadZipArchive(
    const QByteArray& bytes, const ZipLimits& limits, QString* error);

// An archive of the entries in the given order; PNG files are stored as they are (they are
// compressed already), the others deflated at the fastest level (level 6 took 20 ms per grid
// for 3% less).
std::optional<QByteArray> WriteZipArchive(const std::vector<ZipEntry>& entries, QString* error);

} // namespace trivel
