// The pure image checks: extension, procedure choice, pieces, checksums, the file read limits.

#include "firmware/FirmwareImage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace trivel {
namespace {

TEST(FirmwareImage, ExtensionIsUpperCasedBin)
{
    const struct {
        const char* name;
        bool ok;
    } cases[] = {
        {"fw.bin", true},
        {"FW.BIN", true},
        {"/some/dir.x/fw.Bin", true},
        {"fw.hex", false},
        {"fw", false},
        {"/some/dir.bin/fw", false},
        {"fw.bin.hex", false},
        {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HasFirmwareExtension(QString::fromLatin1(c.name)), c.ok) << c.name;
}

TEST(FirmwareImage, ProcedureBySizeAndNamePrefix)
{
    const struct {
        const char* name;
        std::size_t size;
        FirmwareProcedure expected;
    } cases[] = {
        {"fw.bin", 64, FirmwareProcedure::Plain}, {"T52QBL_a.bin", 393215, FirmwareProcedure::Prefixed},
        {"t52qbl_a.bin", 393215, FirmwareProcedure::Prefixed},
        {"/x/R52QBL_.BIN", 100, FirmwareProcedure::Prefixed},
        {"r52Qbl_x.bin", 100, FirmwareProcedure::Prefixed},
        {"T52QBL_a.bin", 393216, FirmwareProcedure::Large}, {"fw.bin", 393216, FirmwareProcedure::Large},
        {"T52QBL.bin", 100, FirmwareProcedure::Plain}, // no underscore
        {"xT52QBL_.bin", 100, FirmwareProcedure::Plain},
        {"/T52QBL_dir/fw.bin", 100, FirmwareProcedure::Plain}, // the directory does not count
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChooseFirmwareProcedure(c.size, QString::fromLatin1(c.name)), c.expected)
            << c.name << " " << c.size;
}

TEST(FirmwareImage, PiecesAndChecksums)
{
    std::vector<std::uint8_t> image(300);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = std::uint8_t(i * 7);
    EXPECT_EQ(FirmwarePieceCount(300), 2u);
    EXPECT_EQ(FirmwarePieceCount(64), 1u);
    EXPECT_EQ(FirmwarePieceCount(256), 1u);
    EXPECT_EQ(FirmwarePieceCount(257), 2u);
    EXPECT_EQ(FirmwarePieceAt(image, 0).size(), 256u);
    EXPECT_EQ(FirmwarePieceAt(image, 256).size(), 44u);
    EXPECT_EQ(FirmwarePieceAt(image, 256).data(), image.data() + 256);
    EXPECT_TRUE(FirmwarePieceAt(image, 300).empty());
    EXPECT_TRUE(FirmwarePieceAt(image, 9999).empty());

    // The sum wraps at 32 bits.
    std::vector<std::uint8_t> ff(515, 0xFF);
    ff.back() = 0x01;
    EXPECT_EQ(FirmwareSum(ff), 0x0001FFFFu);
    EXPECT_EQ(FormatFirmwareChecksum(0x0012ABCD), QStringLiteral("0012 ABCD"));
    EXPECT_EQ(FormatFirmwareChecksum(0xFFFF0001), QStringLiteral("FFFF 0001"));
    EXPECT_TRUE(Checksum16Matches(0xFFFF, 0x0001FFFF));
    EXPECT_FALSE(Checksum16Matches(0xFFFE, 0x0001FFFF));

    EXPECT_EQ(FirmwarePercent(0, -30, 330), 8);
    EXPECT_EQ(FirmwarePercent(330, -30, 330), 100);
    EXPECT_EQ(FirmwarePercent(5, 0, 0), 0);
}

TEST(FirmwareImage, BarColourByBoardsPresent)
{
    const std::uint32_t expected[16] = {0xD77800, 0x0000FF, 0x0000FF, 0x008000, 0x0000FF, 0x008000, 0x008000,
        0xFFFF00, 0x0000FF, 0x008000, 0x008000, 0xFFFF00, 0x008000, 0xFFFF00, 0xFFFF00, 0x00FFFF};
    for (std::uint32_t m = 0; m < 16; ++m)
        EXPECT_EQ(BoardMaskColour(m), expected[m]) << m;
    // Bits above 3 are no boards.
    EXPECT_EQ(BoardMaskColour(0x15), 0x008000u);
    EXPECT_EQ(BoardMaskColour(0xF0), 0xD77800u);
}

TEST(FirmwareImage, ReadRefusesWhatIsNoImageFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString ok = dir.filePath("fw.bin");
    {
        QFile f(ok);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(100, '\x05'));
    }
    const auto bytes = ReadFirmwareFile(ok);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->size(), 100u);

    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.bin"));
    EXPECT_FALSE(ReadFirmwareFile(dir.filePath("folder.bin")));
    EXPECT_FALSE(ReadFirmwareFile(dir.filePath("missing.bin")));
    EXPECT_FALSE(ReadFirmwareFile(QString()));

    // A sparse file one byte over the limit: refused by its size, never read.
    const QString huge = dir.filePath("huge.bin");
    {
        QFile f(huge);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(kFirmwareMaxFileSize + 1));
    }
    EXPECT_FALSE(ReadFirmwareFile(huge));

    const QString locked = dir.filePath("locked.bin");
    {
        QFile f(locked);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(100, '\x01'));
    }
    QFile::setPermissions(locked, QFileDevice::Permissions{});
    if (!QFile(locked).open(QIODevice::ReadOnly)) { // root reads anything
        EXPECT_FALSE(ReadFirmwareFile(locked));
    }
}

} // namespace
} // namespace trivel
