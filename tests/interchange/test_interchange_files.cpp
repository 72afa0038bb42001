// The pieces of an .mpcdi file on their own: PFM grids, ZIP names and mpcdi.xml spellings.

#include "interchange/MpcdiXml.h"
#include "interchange/Pfm.h"
#include "interchange/ZipArchive.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace trivel {
namespace {

QByteArray Floats(std::initializer_list<float> values, bool littleEndian)
{
    QByteArray out;
    for (float f : values) {
        std::uint32_t u;
        std::memcpy(&u, &f, 4);
        for (int i = 0; i < 4; ++i)
            out.append(char(littleEndian ? u >> (8 * i) : u >> (8 * (3 - i))));
    }
    return out;
}

struct PfmCase {
    const char* name;
    QByteArray bytes;
    int width, height, channels;
    float topLeft, bottomRight; // first sample of the top row, last sample of the bottom row
};

// The file's first row is the bottom one: the reader turns it round.
const PfmCase kReadable[] = {
    {"LittleEndianColour",
        QByteArray("PF\n2 2\n-1.0\n") + Floats({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, true), 2, 2, 3, 7, 6},
    {"BigEndianColour", QByteArray("PF\n2 2\n1.0\n") + Floats({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, false),
        2, 2, 3, 7, 6},
    {"GreyScaleTwo", QByteArray("Pf\n3 1\n-2.5\n") + Floats({0.5f, 1.5f, 2.5f}, true), 3, 1, 1, 0.5f, 2.5f},
    {"SpacesAndCarriageReturns", QByteArray("PF 1\r\n1   -1\n") + Floats({9, 8, 7}, true), 1, 1, 3, 9, 7},
};

class PfmRead : public ::testing::TestWithParam<PfmCase> { };

TEST_P(PfmRead, ReadsEitherByteOrderBottomRowFirst)
{
    const PfmCase& c = GetParam();
    QString why;
    const std::optional<PfmImage> img = ReadPfm(c.bytes, &why);
    ASSERT_TRUE(img) << why.toStdString();
    EXPECT_EQ(img->width, c.width);
    EXPECT_EQ(img->height, c.height);
    EXPECT_EQ(img->channels, c.channels);
    EXPECT_EQ(img->at(0, 0, 0), c.topLeft);
    EXPECT_EQ(img->at(c.width - 1, c.height - 1, c.channels - 1), c.bottomRight);
}

INSTANTIATE_TEST_SUITE_P(Files, PfmRead, ::testing::ValuesIn(kReadable),
    [](const auto& info) { return std::string(info.param.name); });

struct PfmRefusal {
    const char* name;
    QByteArray bytes;
    const char* message;
};

const PfmRefusal kRefused[] = {
    {"Empty", "", "not a PFM file"},
    {"OtherNetpbm", "P6\n2 2\n255\n", "not a PFM file"},
    {"MagicAlone", "PF", "not a PFM file"},
    {"ZeroWidth", "PF\n0 2\n-1\n", "no valid size"},
    {"NegativeHeight", "PF\n2 -2\n-1\n", "no valid size"},
    {"TooWide", "PF\n70000 1\n-1\n", "no valid size"},
    {"EndsInHeader", "PF\n2 2\n-1", "no valid scale"},
    {"ZeroScale", "PF\n1 1\n0\n", "no valid scale"},
    {"WordForScale", "PF\n1 1\nnan\n", "no valid scale"},
    {"RasterCutShort", QByteArray("PF\n2 2\n-1\n") + QByteArray(47, '\0'),
        "cut short: 2 x 2 points need 48 bytes"},
    {"HugeClaimSmallFile", "PF\n65536 65536\n-1\n", "cut short"},
};

class PfmRefuse : public ::testing::TestWithParam<PfmRefusal> { };

TEST_P(PfmRefuse, SaysWhatIsWrong)
{
    QString why;
    EXPECT_FALSE(ReadPfm(GetParam().bytes, &why));
    EXPECT_TRUE(why.contains(QLatin1String(GetParam().message))) << why.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Files, PfmRefuse, ::testing::ValuesIn(kRefused),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Pfm, WritesLittleEndianColourBottomRowFirstAndReadsItBack)
{
    PfmImage img;
    img.width = 2;
    img.height = 2;
    img.samples = {0.25f, 0.5f, 0, 1, 2, 0, -3, std::nanf(""), 0, 4, 5, 0}; // top row, then bottom
    const QByteArray bytes = WritePfm(img);
    ASSERT_TRUE(bytes.startsWith("PF\n2 2\n-1.0\n"));
    EXPECT_EQ(bytes.mid(12, 4), Floats({-3}, true)); // the bottom row comes first
    const std::optional<PfmImage> back = ReadPfm(bytes, nullptr);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->at(1, 0, 1), 2.0f);
    EXPECT_EQ(back->at(0, 1, 0), -3.0f);
    EXPECT_TRUE(std::isnan(back->at(0, 1, 1)));
}

TEST(ZipNames, OnlyNamesThatStayInsideTheArchiveAreSafe)
{
    for (const char* good : {"mpcdi.xml", "a/b.png", "window1.pfm", "..hidden", "a..b"})
        EXPECT_TRUE(IsSafeArchivePath(QString::fromLatin1(good))) << good;
    for (const char* bad :
        {"", "/etc/passwd", "\\evil.png", "C:evil", "c:\\x", "../up.pfm", "a/../../b", "a\\..\\b"})
        EXPECT_FALSE(IsSafeArchivePath(QString::fromLatin1(bad))) << bad;
}

TEST(ZipArchive, KeepsNamesOrderAndBytes)
{
    const std::vector<ZipEntry> in{
        {"mpcdi.xml", "<MPCDI/>"}, {"w.png", QByteArray(3000, 'x')}, {"d/g.pfm", "PF"}};
    QString why;
    const std::optional<QByteArray> zip = WriteZipArchive(in, &why);
    ASSERT_TRUE(zip) << why.toStdString();
    EXPECT_TRUE(zip->startsWith("PK\x03\x04"));
    const std::optional<std::vector<ZipEntry>> out = ReadZipArchive(*zip, {}, &why);
    ASSERT_TRUE(out) << why.toStdString();
    ASSERT_EQ(out->size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ((*out)[i].name, in[i].name);
        EXPECT_EQ((*out)[i].data, in[i].data);
    }
}

// Writers spell the same things differently; the reader takes them all.
TEST(MpcdiXml, ReadsOtherWritersSpellingsAndVersionOneLevels)
{
    const QByteArray xml = R"(<?xml version="1.0"?>
<MPCDI profile="2d" level="4" date="2019-02-01 10:12:21" version="1.0">
  <display><buffer id="B" xResolution="3840" yResolution="1080">
    <region id="R1" xResolution="1920" yResolution="1080" x="0.5" y="0" xsize="0.5" ysize="1"><frame/></region>
  </buffer></display>
  <files><fileSet region="R1">
    <geometryWarpFile><Path> w.pfm </Path><interpolation>linear</interpolation></geometryWarpFile>
    <alphaMap><path>a.png</path><componentDepth>3</componentDepth><bitDepth>8</bitDepth><gammaEmbedded>2.4</gammaEmbedded></alphaMap>
  </fileSet></files>
</MPCDI>)";
    QString why;
    const std::optional<MpcdiDocument> doc = ReadMpcdiXml(xml, &why);
    ASSERT_TRUE(doc) << why.toStdString();
    EXPECT_EQ(doc->geometryLevel, 2);
    EXPECT_EQ(doc->colorLevel, 2);
    const MpcdiBuffer* buffer = nullptr;
    const MpcdiRegion* r = doc->region("R1", &buffer);
    ASSERT_TRUE(r && buffer);
    EXPECT_EQ(buffer->xResolution, 3840);
    EXPECT_EQ(r->xResolution, 1920);
    EXPECT_EQ(r->x, 0.5);
    const MpcdiFileSet* f = doc->fileSet("R1");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->warp.path, "w.pfm");
    EXPECT_EQ(f->alpha.componentDepth, 3);
    EXPECT_EQ(f->alpha.gammaEmbedded, 2.4);
    EXPECT_TRUE(f->beta.path.isEmpty());
}

TEST(MpcdiXml, WritesWhatItReadsWithTheRegionsNotes)
{
    MpcdiDocument doc;
    doc.date = "2024-05-06 07:08:09";
    MpcdiBuffer b;
    b.id = "buffer1";
    b.xResolution = 1280;
    b.yResolution = 720;
    MpcdiRegion r;
    r.id = "window1";
    r.xResolution = 1280;
    r.yResolution = 720;
    r.notes << "Geometry (approximate): <3x3> & more";
    b.regions.push_back(r);
    doc.buffers.push_back(b);
    MpcdiFileSet f;
    f.region = "window1";
    f.warp.path = "window1.pfm";
    f.alpha = {"window1_alpha.png", 1, 16, 2.2};
    f.beta = {"window1_beta.png", 3, 16, 1.0};
    doc.fileSets.push_back(f);
    const std::optional<MpcdiDocument> back = ReadMpcdiXml(WriteMpcdiXml(doc), nullptr);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->profile, "2d");
    EXPECT_EQ(back->version, "2.0");
    EXPECT_EQ(back->date, doc.date);
    ASSERT_TRUE(back->region("window1"));
    EXPECT_EQ(back->region("window1")->notes, r.notes);
    EXPECT_EQ(back->fileSet("window1")->beta.componentDepth, 3);
    EXPECT_EQ(back->fileSet("window1")->alpha.gammaEmbedded, 2.2);
}

} // namespace
} // namespace trivel
