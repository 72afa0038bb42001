#include "interchange/ZipArchive.h"

#include <zip.h>

#include <array>
#include <cstdio>
#include <memory>

namespace trivel {

namespace {

struct ArchiveCloser {
    void operator()(zip_t* za) const { zip_discard(za); }
};
struct FileCloser {
    void operator()(zip_file_t* f) const { zip_fclose(f); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;
using EntryFile = std::unique_ptr<zip_file_t, FileCloser>;

QString ErrorText(zip_error_t* e)
{
    return QString::fromUtf8(zip_error_strerror(e));
}

QString Mib(std::uint64_t bytes)
{
    return QStringLiteral("%1 MiB").arg(double(bytes) / double(1 << 20), 0, 'f', bytes % (1 << 20) ? 1 : 0);
}

// Reads one entry with a running cap: a lying header cannot make it inflate past `cap` bytes.
std::optional<QByteArray> ReadEntry(zip_t* za, zip_uint64_t index, const QString& name,
    std::uint64_t declared, std::uint64_t cap, QString* error)
{
    EntryFile f(zip_fopen_index(za, index, 0));
    if (!f) {
        *error = QStringLiteral("The archive's entry \"%1\" cannot be opened: %2")
                     .arg(name, QString::fromUtf8(zip_strerror(za)));
        return std::nullopt;
    }
    QByteArray data;
    data.reserve(qsizetype(std::min({declared, cap, std::uint64_t(16) << 20})));
    std::array<char, 1 << 16> chunk;
    for (;;) {
        const zip_int64_t n = zip_fread(f.get(), chunk.data(), chunk.size());
        if (n < 0) {
            *error = QStringLiteral("The archive's entry \"%1\" is damaged: %2")
                         .arg(name, QString::fromUtf8(zip_file_strerror(f.get())));
            return std::nullopt;
        }
        if (n == 0)
            break;
        if (std::uint64_t(data.size()) + std::uint64_t(n) > std::min(declared, cap)) {
            *error = std::uint64_t(data.size()) + std::uint64_t(n) > cap
                ? QStringLiteral("The archive's entry \"%1\" inflates beyond %2; that is refused.")
                      .arg(name, Mib(cap))
                : QStringLiteral("The archive's entry \"%1\" inflates beyond the %2 bytes it declares; "
                                 "that is refused.")
                      .arg(name)
                      .arg(qulonglong(declared));
            return std::nullopt;
        }
        data.append(chunk.data(), qsizetype(n));
    }
    return data;
}

struct EntryInfo {
    zip_uint64_t index = 0;
    QString name;
    std::uint64_t declared = 0;
};

// Names and declared sizes first: nothing is inflated from an archive that will be refused.
std::optional<std::vector<EntryInfo>> Directory(
    zip_t* za, zip_int64_t count, const ZipLimits& limits, QString& why)
{
    std::vector<EntryInfo> files;
    std::uint64_t declaredTotal = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(za, zip_uint64_t(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME)
            || !(st.valid & ZIP_STAT_SIZE)) {
            why = QStringLiteral("Entry %1 of the archive cannot be read: %2")
                      .arg(i + 1)
                      .arg(QString::fromUtf8(zip_strerror(za)));
            return std::nullopt;
        }
        const QString name = QString::fromUtf8(st.name);
        if (!IsSafeArchivePath(name)) {
            why = QStringLiteral("The archive's entry \"%1\" points outside the archive (an absolute path "
                                 "or \"..\"); such archives are refused.")
                      .arg(name);
            return std::nullopt;
        }
        if (name.endsWith('/'))
            continue;
        if (st.size > limits.maxEntryBytes) {
            why = QStringLiteral("The archive's entry \"%1\" declares %2 bytes; more than %3 is refused.")
                      .arg(name)
                      .arg(qulonglong(st.size))
                      .arg(Mib(limits.maxEntryBytes));
            return std::nullopt;
        }
        if (st.size > limits.maxTotalBytes - std::min(declaredTotal, limits.maxTotalBytes)) {
            why = QStringLiteral(
                "The archive's entries declare more than %1 in all (at \"%2\"); that is refused.")
                      .arg(Mib(limits.maxTotalBytes), name);
            return std::nullopt;
        }
        declaredTotal += st.size;
        files.push_back({zip_uint64_t(i), name, st.size});
    }
    return files;
}

} // namespace

bool IsSafeArchivePath(const QString& name)
{
    if (name.isEmpty() || name.startsWith('/') || name.startsWith('\\'))
        return false;
    if (name.size() >= 2 && name[1] == ':') // C:, a drive
        return false;
    const QStringList parts = QString(name).replace('\\', '/').split('/');
    for (const QString& part : parts)
        if (part == QLatin1String(".."))
            return false;
    return true;
}

std::optional<std::vector<ZipEntry>> ReadZipArchive(
    const QByteArray& bytes, const ZipLimits& limits, QString* error)
{
    QString scratch;
    QString& why = error ? *error : scratch;
    zip_error_t ze;
    zip_error_init(&ze);
    zip_source_t* src = zip_source_buffer_create(bytes.constData(), zip_uint64_t(bytes.size()), 0, &ze);
    if (!src) {
        why = QStringLiteral("The archive cannot be read: %1").arg(ErrorText(&ze));
        zip_error_fini(&ze);
        return std::nullopt;
    }
    Archive za(zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, &ze));
    if (!za) {
        zip_source_free(src);
        why = zip_error_code_zip(&ze) == ZIP_ER_EXISTS
            ? QStringLiteral("The archive holds a name twice (mpcdi.xml or another); that is refused.")
            : QStringLiteral("The file is not a ZIP archive that can be read (%1).").arg(ErrorText(&ze));
        zip_error_fini(&ze);
        return std::nullopt;
    }
    zip_error_fini(&ze);
    const zip_int64_t count = zip_get_num_entries(za.get(), 0);
    if (count < 0 || count > limits.maxEntries) {
        why = QStringLiteral("The archive holds %1 entries; more than %2 are refused.")
                  .arg(count)
                  .arg(limits.maxEntries);
        return std::nullopt;
    }
    const std::optional<std::vector<EntryInfo>> files = Directory(za.get(), count, limits, why);
    if (!files)
        return std::nullopt;
    std::vector<ZipEntry> out;
    std::uint64_t total = 0;
    for (const EntryInfo& f : *files) {
        const std::uint64_t cap = std::min(limits.maxEntryBytes, limits.maxTotalBytes - total);
        std::optional<QByteArray> data = ReadEntry(za.get(), f.index, f.name, f.declared, cap, &why);
        if (!data)
            return std::nullopt;
        total += std::uint64_t(data->size());
        out.push_back({f.name, std::move(*data)});
    }
    return out;
}

std::optional<QByteArray> WriteZipArchive(const std::vector<ZipEntry>& entries, QString* error)
{
    QString scratch;
    QString& why = error ? *error : scratch;
    zip_error_t ze;
    zip_error_init(&ze);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &ze);
    if (!buffer) {
        why = QStringLiteral("The archive cannot be built: %1").arg(ErrorText(&ze));
        zip_error_fini(&ze);
        return std::nullopt;
    }
    // Kept past zip_close, which writes the archive into it.
    zip_source_keep(buffer);
    std::unique_ptr<zip_source_t, decltype(&zip_source_free)> keep(buffer, &zip_source_free);
    Archive za(zip_open_from_source(buffer, ZIP_TRUNCATE, &ze));
    if (!za) {
        zip_source_free(buffer);
        why = QStringLiteral("The archive cannot be built: %1").arg(ErrorText(&ze));
        zip_error_fini(&ze);
        return std::nullopt;
    }
    zip_error_fini(&ze);
    for (const ZipEntry& e : entries) {
        zip_source_t* s = zip_source_buffer(za.get(), e.data.constData(), zip_uint64_t(e.data.size()), 0);
        const QByteArray name = e.name.toUtf8();
        const zip_int64_t index = s ? zip_file_add(za.get(), name.constData(), s, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0) {
            zip_source_free(s);
            why = QStringLiteral("\"%1\" cannot be added to the archive: %2")
                      .arg(e.name, QString::fromUtf8(zip_strerror(za.get())));
            return std::nullopt;
        }
        const bool png = e.name.endsWith(QLatin1String(".png"), Qt::CaseInsensitive);
        zip_set_file_compression(
            za.get(), zip_uint64_t(index), png ? ZIP_CM_STORE : ZIP_CM_DEFLATE, png ? 0 : 1);
    }
    if (zip_close(za.get()) != 0) {
        why = QStringLiteral("The archive cannot be built: %1")
                  .arg(QString::fromUtf8(zip_strerror(za.get())));
        return std::nullopt;
    }
    (void)za.release(); // closed
    QByteArray out;
    if (zip_source_open(buffer) != 0 || zip_source_seek(buffer, 0, SEEK_END) != 0) {
        why = QStringLiteral("The archive cannot be read back from memory.");
        return std::nullopt;
    }
    const zip_int64_t size = zip_source_tell(buffer);
    zip_source_seek(buffer, 0, SEEK_SET);
    out.resize(qsizetype(std::max<zip_int64_t>(size, 0)));
    const zip_int64_t got = zip_source_read(buffer, out.data(), zip_uint64_t(out.size()));
    zip_source_close(buffer);
    if (size < 0 || got != size) {
        why = QStringLiteral("The archive cannot be read back from memory.");
        return std::nullopt;
    }
    return out;
}

} // namespace trivel
