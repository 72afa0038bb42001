// An .mpcdi file as the user picks it. The first byte chooses what the rest is: bit 0 clear, the
// archive, read to a plan for every region (bit 1: the 17x17 offsets too); bit 0 set, mpcdi.xml
// alone, which must write and read back to the same regions and files.

#include "interchange/ImportPlan.h"

#include <QGuiApplication>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

using namespace trivel;

void Description(const QByteArray& xml)
{
    const std::optional<MpcdiDocument> doc = ReadMpcdiXml(xml, nullptr);
    if (!doc)
        return;
    const std::optional<MpcdiDocument> back = ReadMpcdiXml(WriteMpcdiXml(*doc), nullptr);
    if (!back || back->regionIds() != doc->regionIds() || back->fileSets.size() != doc->fileSets.size())
        std::abort();
}

void Archive(const QByteArray& zip, bool points)
{
    // Smaller caps than the tool's: the fuzzer's inputs are small, and inflating 256 MiB of a
    // crafted entry only slows it down.
    const ZipLimits limits{std::uint64_t(4) << 20, std::uint64_t(8) << 20, 64};
    const std::optional<MpcdiContents> contents = ReadMpcdiArchive(zip, nullptr, limits);
    if (!contents)
        return;
    for (const QString& id : contents->doc.regionIds()) {
        const std::optional<MpcdiRegionData> region = ReadMpcdiRegion(*contents, id, nullptr);
        if (!region)
            continue;
        ImportOptions options;
        options.pointOffsets = points;
        PlanImport(*region, options, nullptr);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // QImage finds its PNG reader through the application object.
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray rest(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    if (data[0] & 1)
        Description(rest);
    else
        Archive(rest, data[0] & 2);
    return 0;
}
