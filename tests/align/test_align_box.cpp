// The procedure against trivel-boxsim --rig: patterns, grid, tables and blend go to the simulated
// box as request frames on its TCP port, the photos come from its photo service (sim://). These
// ports write the frames by hand, apart from the subsystems' chains (align/BoxPorts.h drives
// those; trivelctl align's test runs them against the same simulator), so a fault shared by the
// chains and the simulator's reading of them shows here.

#include "align/CameraSources.h"
#include "align/Procedure.h"
#include "align/SimPhotoProtocol.h"
#include "link/Clock.h"
#include "protocol/Frame.h"
#include "protocol/SettingCodec.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

using namespace trivel;
using namespace trivel::align;

namespace {

class BoxFrames : public PatternDisplay, public ResultSink {
public:
    bool connect(quint16 port)
    {
        m_socket.connectToHost(QStringLiteral("127.0.0.1"), port);
        return m_socket.waitForConnected(5000);
    }
    int roundTrips = 0;

    bool showMask(int w, const MaskBytes& stream, QString& error) override
    {
        for (std::size_t pos = 0; pos < stream.size(); pos += 480) {
            Frame f(Cmd::MaskUploadMono);
            f.view.put8(8, std::uint8_t(w));
            f.view.put32(12, std::uint32_t(pos));
            f.view.put32(16, std::uint32_t(stream.size()));
            f.view.copyIn(20, stream.data() + pos, std::min<std::size_t>(480, stream.size() - pos));
            if (!send(f, error))
                return false;
        }
        return patternColour(w, 0, error) && mask(w, true, error);
    }
    bool showGrid(int w, const GridSpec& grid, QString& error) override
    {
        return mask(w, false, error) && select(w, error) && setting("s00GRD+032", grid.spacing, error)
            && patternColour(w, 7, error);
    }
    bool blank(int w, QString& error) override { return mask(w, false, error) && patternColour(w, 0, error); }
    bool release(int w, QString& error) override { return blank(w, error); }

    bool saveUndoFile(QString& savedAs, QString&) override
    {
        savedAs = QStringLiteral("(not saved in this test)");
        return true;
    }
    bool sendTables(int w, const SourceTables& t, QString& error) override
    {
        for (int table = 0; table < 2; ++table)
            for (int column = 0; column < kSourceTableColumns; column += 3) {
                Frame f(table == 0 ? Cmd::UserMapSourceX : Cmd::UserMapSourceY);
                f.view.put8(8, std::uint8_t(column));
                f.view.put8(9, 3);
                for (int i = 0; i < 3 * kSourceTableRows; ++i)
                    f.view.put16(32 + 2 * std::size_t(i),
                        (table == 0 ? t.x : t.y)[std::size_t(column * kSourceTableRows + i)]);
                if (!send(f, error))
                    return false;
            }
        Frame apply(Cmd::UserMapApply);
        apply.view.put8(8, std::uint8_t(w));
        return send(apply, error);
    }
    bool sendPointOffsets(int, const GridArray<OffsetPair>&, QString& error) override
    {
        error = QStringLiteral("not used here");
        return false;
    }
    bool sendBlend(int w, const BlendPlan& b, QString& error) override
    {
        static const char* widths[4] = {"s00LEB+000", "s00REB+000", "s00TEB+000", "s00BEB+000"};
        static const char* shifts[4] = {"s00EFL+000", "s00EFR+000", "s00EFT+000", "s00EFB+000"};
        bool ok = select(w, error);
        for (int side = 0; side < 4; ++side)
            ok = ok && setting(widths[side], b.width[std::size_t(side)], error)
                && setting(shifts[side], b.shift[std::size_t(side)], error);
        for (const char* gamma : {"s00EBR+000", "s00EBG+000", "s00EBB+000"})
            ok = ok && setting(gamma, b.transitionGamma, error);
        for (const char* gain : {"s00GGR+000", "s00GGG+000", "s00GGB+000"})
            ok = ok && setting(gain, 50, error);
        return ok && setting("s00EBL+000", b.gammaOffset, error);
    }

private:
    struct Frame {
        explicit Frame(std::uint32_t code)
            : view(bytes.data(), bytes.size())
        {
            view.setCode(code);
        }
        std::array<std::uint8_t, kTcpFrameSize> bytes{};
        FrameView view;
    };
    bool send(Frame& f, QString& error)
    {
        m_socket.write(reinterpret_cast<const char*>(f.bytes.data()), qint64(f.bytes.size()));
        QByteArray reply;
        while (reply.size() < qsizetype(kTcpFrameSize)) {
            if (!m_socket.waitForReadyRead(5000)) {
                error = QStringLiteral("the box did not answer");
                return false;
            }
            reply += m_socket.read(qint64(kTcpFrameSize) - reply.size());
        }
        ++roundTrips;
        return true;
    }
    bool mask(int w, bool show, QString& error)
    {
        Frame f(Cmd::MaskShow);
        f.view.put8(8, std::uint8_t(w));
        f.view.put8(12, show ? 1 : 0);
        f.view.put8(16, 1);
        return send(f, error);
    }
    bool patternColour(int w, int colour, QString& error)
    {
        Frame f(Cmd::TestPatternColour);
        f.view.put8(8, std::uint8_t(w));
        f.view.put8(9, std::uint8_t(colour));
        return send(f, error);
    }
    bool select(int w, QString& error)
    {
        Frame f(Cmd::CurrentWindowChanged);
        f.view.put8(8, std::uint8_t(w));
        return send(f, error);
    }
    bool setting(const char* tpl, int value, QString& error)
    {
        SettingCommand cmd = MakeSettingCommand(tpl);
        EncodeSettingValue(value, cmd);
        Frame f(Cmd::Setting);
        f.view.copyIn(kSettingOffset, reinterpret_cast<const std::uint8_t*>(cmd.data()), cmd.size());
        return send(f, error);
    }
    QTcpSocket m_socket;
};

// trivel-boxsim with a rig, killed at the end; the box's port and the photo service's.
struct Boxsim {
    QProcess process;
    quint16 boxPort = 0;
    quint16 photoPort = 0;

    explicit Boxsim(const QStringList& args)
    {
        process.start(QStringLiteral(BOXSIM), QStringList{"--port", "0"} + args);
        const QRegularExpression line(QStringLiteral("(listening|photos) on .*:(\\d+)"));
        while ((!boxPort || !photoPort) && process.waitForReadyRead(10000)) {
            while (process.canReadLine()) {
                const auto m = line.match(QString::fromLatin1(process.readLine()));
                if (m.hasMatch())
                    (m.captured(1) == QLatin1String("listening") ? boxPort : photoPort)
                        = quint16(m.captured(2).toUInt());
            }
        }
    }
    ~Boxsim()
    {
        process.kill();
        process.waitForFinished(3000);
    }
};

} // namespace

TEST(AlignAgainstBoxsim, AlignsARigThroughTheBoxFramesAndThePhotoService)
{
    Boxsim sim({"--rig-random", "3", "--rig-layout", "1x2", "--rig-camera", "640x360"});
    ASSERT_NE(sim.boxPort, 0);
    ASSERT_NE(sim.photoPort, 0);
    BoxFrames box;
    ASSERT_TRUE(box.connect(sim.boxPort));
    VirtualClock clock;
    QString error;
    auto camera = MakeCameraSource(QStringLiteral("sim://127.0.0.1:%1").arg(sim.photoPort), clock, error);
    ASSERT_TRUE(camera) << qPrintable(error);
    AlignOptions options;
    options.layout = {1, 2};
    options.framesAveraged = 1;
    options.passes = 1;
    options.reportPhotos = false;
    AlignProcedure procedure(box, box, *camera, clock, options);
    const AlignReport r = procedure.run();
    ASSERT_TRUE(r.ok) << qPrintable(r.errors.join(QLatin1Char(' ')));
    ASSERT_TRUE(camera->marks() && camera->lens()); // the simulated user marked the screen
    // The verification photographed the box's own grid through the tables it was sent.
    for (const WindowReport& w : r.windows) {
        ASSERT_EQ(w.residual.size(), 1u);
        EXPECT_GT(w.residual[0].points, 20);
        EXPECT_LT(w.residual[0].rms, 0.6);
    }
    // The procedure's own count of round trips, by which it estimates a real box's time, is close
    // to the frames these ports sent (they spend a few more on the test grid and black windows).
    EXPECT_NEAR(double(r.roundTrips), double(box.roundTrips), 0.1 * box.roundTrips);
}

TEST(AlignAgainstBoxsim, PhotoServiceRepliesAreCheckedBeforeUse)
{
    Photo p(3, 2);
    p.at(2, 1) = 200.4f;
    QByteArray bytes
        = SimPhotoReply(p) + SimCameraReply(LensModel{800, 800, 320, 180}, {}) + SimErrorReply("busy");
    SimReply r;
    QString error;
    qsizetype used = ParseSimReply(bytes.left(10), r, error);
    EXPECT_EQ(used, 0); // not whole yet
    used = ParseSimReply(bytes, r, error);
    ASSERT_GT(used, 0);
    EXPECT_EQ(r.kind, SimReply::Kind::Photo);
    EXPECT_EQ(r.photo.at(2, 1), 200.0f);
    bytes.remove(0, used);
    used = ParseSimReply(bytes, r, error);
    ASSERT_GT(used, 0) << qPrintable(error);
    EXPECT_EQ(r.kind, SimReply::Kind::Camera);
    EXPECT_EQ(r.lens->fx, 800.0);
    bytes.remove(0, used);
    ASSERT_GT(ParseSimReply(bytes, r, error), 0);
    EXPECT_EQ(r.text, QStringLiteral("busy"));
    struct Bad {
        QByteArray bytes;
        const char* why;
    };
    const Bad bad[] = {
        {"PHOTO 0 5\n", "not a reply"},
        {"PHOTO 9000 5\n", "not a reply"},
        {"HELLO\n", "not a reply"},
        {QByteArray(200, 'x'), "does not end"},
        {"CAMERA 10\n{\"lens\":1}", "lens"},
        {"CAMERA 2\n{}", "no lens or no marks"},
    };
    for (const Bad& b : bad) {
        error.clear();
        EXPECT_EQ(ParseSimReply(b.bytes, r, error), -1) << b.bytes.constData();
        EXPECT_TRUE(error.contains(QLatin1String(b.why))) << qPrintable(error);
    }
}

// A folder of photos taken by hand: one per pattern in name order, its lens from camera.json; a
// photo that never comes is waited for on the clock, then named.
TEST(AlignCameras, FolderOfPhotosAndCaptureDevices)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (int i = 0; i < 2; ++i) {
        QImage img(40, 30, QImage::Format_Grayscale8);
        img.fill(100 + i);
        ASSERT_TRUE(img.save(dir.filePath(QStringLiteral("shot-%1.png").arg(i))));
    }
    QFile json(dir.filePath(QStringLiteral("camera.json")));
    ASSERT_TRUE(json.open(QIODevice::WriteOnly));
    ScreenMarks marks;
    marks.screen[2] = {1000, 500};
    json.write(CameraJson(LensModel{900, 900, 20, 15, 0.01}, marks));
    json.close();
    VirtualClock clock;
    QString error;
    auto folder = MakeCameraSource(dir.path(), clock, error);
    ASSERT_TRUE(folder);
    ASSERT_TRUE(folder->open(error)) << qPrintable(error);
    EXPECT_TRUE(folder->stillCamera());
    ASSERT_TRUE(folder->lens());
    EXPECT_EQ(folder->lens()->k1, 0.01);
    ASSERT_TRUE(folder->marks());
    EXPECT_EQ(folder->marks()->screen[2].x, 1000.0);
    for (int i = 0; i < 2; ++i) {
        const auto p = folder->grab(error);
        ASSERT_TRUE(p) << qPrintable(error);
        EXPECT_EQ(p->width, 40);
        EXPECT_EQ(p->at(5, 5), float(100 + i));
    }
    EXPECT_FALSE(folder->grab(error));
    EXPECT_TRUE(error.contains(QLatin1String("photo 3 did not appear"))) << qPrintable(error);
    EXPECT_FALSE(clock.waits().empty()); // it waited, on the clock

    ASSERT_TRUE(json.open(QIODevice::WriteOnly | QIODevice::Truncate));
    json.write("{\"lens\": {\"fx\": -3}}");
    json.close();
    EXPECT_FALSE(folder->open(error));
    EXPECT_TRUE(error.contains(QLatin1String("lens"))) << qPrintable(error);

    auto device = MakeCameraSource(QStringLiteral("/dev/no-such-camera"), clock, error);
    ASSERT_TRUE(device);
    EXPECT_FALSE(device->open(error));
    EXPECT_TRUE(error.contains(QLatin1String("no camera at /dev/no-such-camera"))) << qPrintable(error);
    EXPECT_FALSE(MakeCameraSource(QStringLiteral("sim://host"), clock, error));
    EXPECT_TRUE(error.contains(QLatin1String("sim://HOST:PORT")));
}
