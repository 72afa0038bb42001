// trivelctl firmware and reg against trivel-boxsim on loopback.

#include "RunTrivelctl.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A 1 MiB image (the large-image procedure) and its 32-bit sum.
QString WriteImage(const QTemporaryDir& dir, std::uint32_t* sum)
{
    QByteArray bytes(1 << 20, '\0');
    std::uint32_t x = 12345, total = 0;
    for (char& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = char(x >> 24);
        total += std::uint8_t(b);
    }
    *sum = total;
    const QString path = dir.filePath("image.BIN");
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

TEST(TrivelctlFirmware, DownloadIsConfirmedOrRefusedByTheBoxChecksum)
{
    QTemporaryDir dir;
    std::uint32_t sum = 0;
    const QString image = WriteImage(dir, &sum);
    const QString hex = QStringLiteral("%1").arg(sum & 0xFFFFu, 4, 16, QLatin1Char('0')).toUpper();
    const QString wrongHex = QStringLiteral("%1").arg((sum + 1) & 0xFFFFu, 4, 16, QLatin1Char('0')).toUpper();
    {
        BoxSim sim;
        ASSERT_FALSE(sim.address.isEmpty());
        const CliRun r = Trivelctl({"--tcp", sim.address, "firmware", image});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("Process Done!! [ ")) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("100%  1048576/1048576 bytes")) << r.err.toStdString();
        // The box restarting after the confirmed update drops the link: no news, no core lines.
        EXPECT_FALSE(r.err.contains("lost")) << r.err.toStdString();
        EXPECT_FALSE(r.err.contains("trivel.")) << r.err.toStdString();
    }
    {
        BoxSim sim({"--wrong-checksum"});
        const CliRun r = Trivelctl({"--tcp", sim.address, "firmware", image, "--no-restart"});
        EXPECT_EQ(r.exitCode, 5) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("Process Error!!" + wrongHex)) << r.err.toStdString();
        EXPECT_NE(hex, wrongHex);
    }
    {
        BoxSim sim({"--board-mask", "0"});
        const CliRun r = Trivelctl({"--tcp", sim.address, "firmware", image});
        EXPECT_EQ(r.exitCode, 5) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("Board not found!!")) << r.err.toStdString();
    }
}

TEST(TrivelctlFirmware, InfoAndRefusedFiles)
{
    QTemporaryDir dir;
    std::uint32_t sum = 0;
    const QString image = WriteImage(dir, &sum);
    const CliRun info = Trivelctl({"firmware", "info", image});
    EXPECT_EQ(info.exitCode, 0) << info.err.toStdString();
    EXPECT_TRUE(info.out.contains("Size: 1048576"));
    const QString cks = QStringLiteral("%1 %2")
                            .arg(sum >> 16, 4, 16, QLatin1Char('0'))
                            .arg(sum & 0xFFFFu, 4, 16, QLatin1Char('0'))
                            .toUpper();
    EXPECT_TRUE(info.out.contains("Checksum: " + cks)) << info.out.toStdString();
    EXPECT_TRUE(info.out.contains("Procedure: large image\n")) << info.out.toStdString();

    QFile small(dir.filePath("small.bin"));
    small.open(QIODevice::WriteOnly);
    small.write(QByteArray(63, 'x'));
    small.close();
    const struct {
        QString file;
        const char* message;
    } cases[] = {
        {dir.filePath("fw.hex"), "File Format error !!!"},
        {small.fileName(), "File not correct!!!"},
        {dir.filePath("missing.bin"), "Failed to load  File !!!"},
    };
    for (const auto& c : cases) {
        // Refused before any link is opened: the port given has nothing listening.
        const CliRun r = Trivelctl({"--tcp", "127.0.0.1:1", "firmware", c.file});
        EXPECT_EQ(r.exitCode, 2) << c.message;
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
    }
}

TEST(TrivelctlReg, WriteWithThePageRulesThenReadTheBank)
{
    BoxSim sim;
    ASSERT_FALSE(sim.address.isEmpty());
    const CliRun w = Trivelctl({"--tcp", sim.address, "reg", "write", "--window", "2", "12", "5"});
    EXPECT_EQ(w.exitCode, 0) << w.err.toStdString();
    EXPECT_EQ(w.out.trimmed(), "window 2 register 12 = 05");
    // A value that is no hex byte is refused before anything is written.
    for (const char* bad : {"1ff", "zz", "100"}) {
        const CliRun refused = Trivelctl({"--tcp", sim.address, "reg", "write", "--window", "2", "12", bad});
        EXPECT_EQ(refused.exitCode, 2) << bad;
        EXPECT_TRUE(refused.err.contains("00 to FF")) << refused.err.toStdString();
    }
    Trivelctl({"--tcp", sim.address, "reg", "write", "--window", "2", "7F", "a5"});

    const CliRun r = Trivelctl({"--tcp", sim.address, "reg", "read", "--window", "2"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("01: 00 00 05 00")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("07: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 A5")) << r.out.toStdString();
    const CliRun other = Trivelctl({"--tcp", sim.address, "reg", "read", "--window", "1", "--json"});
    EXPECT_EQ(other.exitCode, 0);
    EXPECT_TRUE(other.out.contains("\"window\": 1"));
    EXPECT_FALSE(other.out.contains("165")) << "window 1 has its own registers";

    EXPECT_EQ(Trivelctl({"--tcp", sim.address, "reg", "write", "80", "1"}).exitCode, 2);
    EXPECT_EQ(Trivelctl({"--tcp", sim.address, "reg", "read", "--window", "5"}).exitCode, 2);
}

} // namespace
