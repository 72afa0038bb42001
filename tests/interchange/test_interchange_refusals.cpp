// Every way an .mpcdi file is refused before anything reaches a box, each with its message.

#include "InterchangeFixtures.h"

#include "interchange/ImportPlan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace trivel {
namespace {

using Entries = std::vector<ZipEntry>;

// A valid export of one small window, as entries to spoil.
Entries ValidEntries()
{
    const WindowExport w = test::RandomWarpedWindow(7, 64, 48);
    const std::optional<QByteArray> zip
        = BuildMpcdiArchive({w}, QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5)), nullptr);
    return *ReadZipArchive(*zip, {}, nullptr);
}

QByteArray& Entry(Entries& e, const char* name)
{
    for (ZipEntry& z : e)
        if (z.name == QLatin1String(name))
            return z.data;
    e.push_back({QString::fromLatin1(name), {}});
    return e.back().data;
}

void Remove(Entries& e, const char* name)
{
    std::erase_if(e, [&](const ZipEntry& z) { return z.name == QLatin1String(name); });
}

QByteArray Zip(const Entries& e)
{
    return *WriteZipArchive(e, nullptr);
}

QByteArray Grid(int columns, int rows, float fill = 0.5f, char kind = 'F')
{
    PfmImage img;
    img.width = columns;
    img.height = rows;
    img.samples.assign(std::size_t(columns * rows * 3), fill);
    QByteArray bytes = WritePfm(img);
    bytes[1] = kind;
    return bytes;
}

// Sets an entry's declared size in both its local and its central header.
void Declare(QByteArray& zip, const QByteArray& name, std::uint32_t size)
{
    auto put32 = [&zip](qsizetype at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            zip[at + i] = char(v >> (8 * i));
    };
    auto u16 = [&zip](qsizetype at) { return int(quint8(zip[at]) | quint8(zip[at + 1]) << 8); };
    for (qsizetype at = zip.indexOf("PK\x03\x04"); at >= 0; at = zip.indexOf("PK\x03\x04", at + 4))
        if (zip.mid(at + 30, u16(at + 26)) == name)
            put32(at + 22, size);
    for (qsizetype at = zip.indexOf("PK\x01\x02"); at >= 0; at = zip.indexOf("PK\x01\x02", at + 4))
        if (zip.mid(at + 46, u16(at + 28)) == name)
            put32(at + 24, size);
}

struct Refusal {
    const char* name;
    std::function<QByteArray()> file;
    const char* message;
    ZipLimits limits = {};
    ImportOptions options = {};
};

QByteArray Spoilt(const std::function<void(Entries&)>& spoil)
{
    Entries e = ValidEntries();
    spoil(e);
    return Zip(e);
}

QByteArray XmlReplaced(const char* from, const char* to)
{
    return Spoilt([&](Entries& e) { Entry(e, "mpcdi.xml").replace(from, to); });
}

const Refusal kRefusals[] = {
    {"NotAZip", [] { return QByteArray("PF\n2 2\n-1\n"); }, "not a ZIP archive"},
    {"NoDescription", [] { return Spoilt([](Entries& e) { Remove(e, "mpcdi.xml"); }); },
        "holds no mpcdi.xml"},
    {"DescriptionTwice",
        [] {
            QByteArray zip = Spoilt([](Entries& e) { Entry(e, "mpcdX.xml") = Entry(e, "mpcdi.xml"); });
            return zip.replace("mpcdX.xml", "mpcdi.xml");
        },
        "mpcdi.xml"},
    {"ProfileOther3d", [] { return XmlReplaced("profile=\"2d\"", "profile=\"3d\""); }, "profile is \"3d\""},
    {"GeometryLevelThree", [] { return XmlReplaced("geometry=\"2\"", "geometry=\"3\""); },
        "geometry level is 3"},
    {"MalformedXml", [] { return XmlReplaced("</display>", "</displai>"); }, "not well-formed XML"},
    {"NoMpcdiRoot", [] { return Spoilt([](Entries& e) { Entry(e, "mpcdi.xml") = "<other/>"; }); },
        "no MPCDI root"},
    {"NoRegion", [] { return XmlReplaced("<region ", "<regio "); }, "describes no region"},
    {"RegionWithoutFiles", [] { return XmlReplaced("region=\"window1\"", "region=\"window9\""); },
        "\"window1\" has no files"},
    {"RegionWithoutAlphaMap", [] { return XmlReplaced("<path>window1_alpha.png</path>", "<path></path>"); },
        "names no alpha map"},
    {"WarpFileMissing", [] { return Spoilt([](Entries& e) { Remove(e, "window1.pfm"); }); },
        "warp file \"window1.pfm\" is not in the archive"},
    {"BetaMapMissing", [] { return Spoilt([](Entries& e) { Remove(e, "window1_beta.png"); }); },
        "beta map \"window1_beta.png\" is not in the archive"},
    {"PathUpInXml", [] { return XmlReplaced("<path>window1.pfm", "<path>../window1.pfm"); },
        "a path outside the archive"},
    {"AbsolutePathInXml", [] { return XmlReplaced("<path>window1.pfm", "<path>/tmp/window1.pfm"); },
        "a path outside the archive"},
    {"EntryNamedUp", [] { return Spoilt([](Entries& e) { Entry(e, "../evil.png") = "x"; }); },
        "\"../evil.png\" points outside the archive"},
    {"EntryNamedAbsolute", [] { return Spoilt([](Entries& e) { Entry(e, "/etc/evil") = "x"; }); },
        "points outside the archive"},
    {"GridOneColumn", [] { return Spoilt([](Entries& e) { Entry(e, "window1.pfm") = Grid(1, 5); }); },
        "1 x 5 points; at least 2 x 2"},
    {"GridOverLevelOne",
        [] {
            return Spoilt([](Entries& e) {
                Entry(e, "window1.pfm") = Grid(33, 2);
                Entry(e, "mpcdi.xml").replace("geometry=\"2\"", "geometry=\"1\"");
            });
        },
        "33 x 2 points, over the 32 x 32 that geometry level 1 allows"},
    {"GridOverLevelTwo", [] { return Spoilt([](Entries& e) { Entry(e, "window1.pfm") = Grid(66, 3); }); },
        "over the 65 x 49 that geometry level 2 allows"},
    {"GreyWarpFile",
        [] {
            return Spoilt([](Entries& e) {
                Entry(e, "window1.pfm") = QByteArray("Pf\n2 2\n-1\n") + QByteArray(16, '\0');
            });
        },
        "grey PFM"},
    {"WarpFileCutShort", [] { return Spoilt([](Entries& e) { Entry(e, "window1.pfm").chop(5); }); },
        "cut short"},
    {"NaNPosition",
        [] {
            return Spoilt([](Entries& e) {
                PfmImage g = *ReadPfm(Entry(e, "window1.pfm"), nullptr);
                g.at(2, 1, 1) = std::nanf("");
                Entry(e, "window1.pfm") = WritePfm(g);
            });
        },
        "NaN or infinite) at column 2, row 1"},
    {"PositionBeyondTheTables",
        [] {
            return Spoilt([](Entries& e) {
                PfmImage g = *ReadPfm(Entry(e, "window1.pfm"), nullptr);
                g.at(4, 3, 0) = 49.0f; // 49 x 64 px = 3136 px, beyond 3071.9375
                Entry(e, "window1.pfm") = WritePfm(g);
            });
        },
        "column 4, row 3 from the top names (49, "},
    {"AlphaNotAPicture",
        [] { return Spoilt([](Entries& e) { Entry(e, "window1_alpha.png") = "not a png"; }); },
        "alpha map \"window1_alpha.png\" is not a PNG picture"},
    {"DeclaredOver256MiB",
        [] {
            QByteArray zip = Spoilt([](Entries&) {});
            Declare(zip, "window1.pfm", 300u << 20);
            return zip;
        },
        "\"window1.pfm\" declares 314572800 bytes; more than 256 MiB"},
    {"InflatesBeyondItsDeclaredSize",
        [] {
            QByteArray zip = Spoilt([](Entries& e) { Entry(e, "big.txt") = QByteArray(200000, 'a'); });
            Declare(zip, "big.txt", 1000);
            return zip;
        },
        "\"big.txt\" inflates beyond the 1000 bytes it declares"},
    {"OverTheTotalInAll",
        [] {
            return Spoilt([](Entries& e) {
                for (const char* n : {"a.bin", "b.bin", "c.bin"})
                    Entry(e, n) = QByteArray(150000, 'z');
            });
        },
        "more than 0.4 MiB in all", ZipLimits{300000, 400000, 4096}},
    {"TooManyEntries", [] { return Spoilt([](Entries&) {}); }, "holds 4 entries; more than 3",
        ZipLimits{1 << 20, 1 << 20, 3}},
    {"UnknownRegion", [] { return XmlReplaced("\"window1\"", "\"left\""); },
        "no region \"window1\"; its regions: left"},
    {"FrameTooLarge", [] { return Spoilt([](Entries&) {}); }, "4000 x 100 frame does not fit", {},
        ImportOptions{0, 4000, 100, false, {}}},
};

class MpcdiRefusal : public ::testing::TestWithParam<Refusal> { };

TEST_P(MpcdiRefusal, IsRefusedWithAMessageThatSaysWhy)
{
    const Refusal& c = GetParam();
    QString why;
    const std::optional<MpcdiContents> contents = ReadMpcdiArchive(c.file(), &why, c.limits);
    const std::optional<MpcdiRegionData> region
        = contents ? ReadMpcdiRegion(*contents, QStringLiteral("window1"), &why) : std::nullopt;
    const std::optional<ImportPlan> plan = region ? PlanImport(*region, c.options, &why) : std::nullopt;
    EXPECT_FALSE(plan);
    EXPECT_TRUE(why.contains(QString::fromUtf8(c.message))) << why.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Files, MpcdiRefusal, ::testing::ValuesIn(kRefusals),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MpcdiRefusal, TheUnspoiltFileIsRead)
{
    QString why;
    const std::optional<MpcdiContents> contents = ReadMpcdiArchive(Zip(ValidEntries()), &why);
    ASSERT_TRUE(contents) << why.toStdString();
    const std::optional<MpcdiRegionData> region = ReadMpcdiRegion(*contents, QStringLiteral("window1"), &why);
    ASSERT_TRUE(region) << why.toStdString();
    EXPECT_TRUE(PlanImport(*region, {}, &why)) << why.toStdString();
}

} // namespace
} // namespace trivel
