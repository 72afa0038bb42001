#include "cli/FirmwareCommand.h"
#include "box/Box.h"

#include "cli/CliLink.h"
#include "cli/CliUi.h"
#include "cli/Bootstrap.h"
#include "firmware/Firmware.h"
#include "firmware/FirmwareImage.h"
#include "link/Clock.h"
#include "box/Connection.h"
#include "session/Controls.h"
#include "session/Session.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <QLoggingCategory>

#include <cstdio>

namespace trivel {

namespace {

enum Exit { Success = 0, Usage = 2, LinkFailure = 3, Rejected = 4, NotConfirmed = 5 };

const char* const kFirmwareHelp = R"(Usage: trivelctl firmware info FILE.BIN
       trivelctl [--tcp HOST[:PORT] | --usb] [--verbose] firmware FILE.BIN [--no-restart]

info          size, date and checksum of the image as the Firmware Update page shows them, and
              the download procedure the file would use
firmware      connect, read the box back, download the image with the page's procedure and
              report the box's checksum; a progress bar goes to stderr
--no-restart  leave the box running after a successful update (no restart frame)

Exit codes: 0 the box confirmed the checksum, 2 usage error or the file was refused,
3 link failure (no box, link lost, no reply), 4 box rejected, 5 checksum mismatch or
"Board not found!!".
)";

int Fail(int code, const QString& why)
{
    std::fprintf(stderr, "trivelctl: %s\n", qPrintable(why));
    return code;
}

// The page's own checks, before anything is connected.
int CheckImage(const QString& path, std::vector<std::uint8_t>* out)
{
    if (!HasFirmwareExtension(path))
        return Fail(Usage, QStringLiteral("File Format error !!!"));
    auto bytes = ReadFirmwareFile(path);
    if (!bytes)
        return Fail(Usage, QStringLiteral("Failed to load  File !!!"));
    if (bytes->size() < kFirmwareMinSize)
        return Fail(Usage, QStringLiteral("File not correct!!!"));
    if (out)
        *out = std::move(*bytes);
    return Success;
}

int RunInfo(const QString& path)
{
    std::vector<std::uint8_t> image;
    if (const int rc = CheckImage(path, &image); rc != Success)
        return rc;
    const QFileInfo info(path);
    const FirmwareProcedure p = ChooseFirmwareProcedure(image.size(), path);
    std::printf("File: %s\n", qPrintable(info.absoluteFilePath()));
    std::printf("Size: %zu\n", image.size());
    std::printf("Date: %s\n", qPrintable(QLocale().toString(info.lastModified(), QLocale::ShortFormat)));
    std::printf("Checksum: %s\n", qPrintable(FormatFirmwareChecksum(FirmwareSum(image))));
    std::printf("Pieces: %zu\n", FirmwarePieceCount(image.size()));
    std::printf("Procedure: %s\n", FirmwareProcedureName(p));
    return Success;
}

// One line redrawn in place: percent, bytes, rate, time left.
class ProgressLine {
public:
    explicit ProgressLine(std::size_t total)
        : m_total(total)
    {
        m_clock.start();
    }
    void update(std::size_t sent, bool force = false)
    {
        if (!force && (sent == m_last || m_clock.elapsed() - m_drawnAt < 100))
            return;
        m_last = sent;
        m_drawnAt = m_clock.elapsed();
        const double seconds = std::max<qint64>(m_clock.elapsed(), 1) / 1000.0;
        const double rate = double(sent) / seconds;
        const int percent = m_total ? int(sent * 100 / m_total) : 100;
        const int width = 30;
        const int filled = percent * width / 100;
        const qint64 left = rate > 0 ? qint64(double(m_total - sent) / rate) : 0;
        std::fprintf(stderr, "\r[%s%s] %3d %%  %zu/%zu bytes  %.1f KiB/s  %lld:%02lld left ",
            std::string(std::size_t(filled), '#').c_str(),
            std::string(std::size_t(width - filled), ' ').c_str(), percent, sent, m_total, rate / 1024.0,
            left / 60, left % 60);
        std::fflush(stderr);
        m_open = true;
        // The box's answer comes as a message of its own line.
        if (sent >= m_total)
            finish();
    }
    void finish()
    {
        if (m_open)
            std::fputc('\n', stderr);
        m_open = false;
    }

private:
    std::size_t m_total;
    std::size_t m_last = std::size_t(-1);
    qint64 m_drawnAt = -1000;
    QElapsedTimer m_clock;
    bool m_open = false;
};

// Ends the progress line before a message of the chains is printed.
class FirmwareUi : public cli::CliUi {
public:
    FirmwareUi()
        : CliUi(false)
    {
    }
    ProgressLine* progress = nullptr;
    const std::size_t* position = nullptr;
    MsgResult message(MsgIcon icon, const QString& caption, const QString& text, MsgButtons buttons) override
    {
        if (progress) {
            progress->update(*position, true);
            progress->finish();
        }
        return CliUi::message(icon, caption, text, buttons);
    }
};

} // namespace

bool IsFirmwareCommand(const QStringList& args)
{
    // The first word that is not an option or the value of --tcp names the command.
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--tcp")) {
            ++i;
            continue;
        }
        if (!args[i].startsWith('-'))
            return args[i] == QLatin1String("firmware");
    }
    return false;
}

int RunFirmwareCommand(const QStringList& args, const cli::BoxEnv& env)
{
    CliLinkOptions link;
    bool noRestart = false, info = false, seenCommand = false;
    QString file;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        QString error;
        if (a == "-h" || a == "--help") {
            std::fputs(kFirmwareHelp, stdout);
            return Success;
        }
        if (TakeLinkOption(args, i, link, error)) {
            if (!error.isEmpty())
                return Fail(Usage, error);
        } else if (a == "--no-restart") {
            noRestart = true;
        } else if (a.startsWith('-')) {
            return Fail(Usage, "unknown option " + a);
        } else if (!seenCommand && a == "firmware") {
            seenCommand = true;
        } else if (seenCommand && !info && file.isEmpty() && a == "info") {
            info = true;
        } else if (seenCommand && file.isEmpty()) {
            file = a;
        } else {
            return Fail(Usage, "unexpected argument " + a);
        }
    }
    if (file.isEmpty())
        return Fail(Usage, "firmware needs FILE.BIN; try 'trivelctl firmware --help'");
    if (info)
        return RunInfo(file);
    if (const int rc = CheckImage(file, nullptr); rc != Success)
        return rc;

    FirmwareUi ui;
    cli::BoxRun run(env, link, ui);
    Session& s = run.session();
    Firmware& firmware = run.box().firmware;
    firmware.setRestartAfterUpdate(!noRestart);
    std::unique_ptr<ProgressLine> progress;
    const int exitCode = RunOnBox(
        run,
        [&] {
            firmware.loadImage(file);
            progress = std::make_unique<ProgressLine>(firmware.state().FirmwareImage.size());
            ui.progress = progress.get();
            ui.position = &firmware.state().ReadPosition;
            firmware.startUpdate();
        },
        [&] {
            progress->update(firmware.state().ReadPosition);
            int code = -1;
            switch (firmware.state().Outcome) {
            case FirmwareOutcome::Running:
                if (!s.connected())
                    code = LinkFailure;
                break;
            case FirmwareOutcome::Done:
                code = Success;
                break;
            case FirmwareOutcome::ChecksumError:
            case FirmwareOutcome::BoardNotFound:
                code = NotConfirmed;
                break;
            case FirmwareOutcome::None:
            case FirmwareOutcome::NoReply:
            case FirmwareOutcome::LinkClosed:
                code = LinkFailure;
                break;
            }
            if (code >= 0)
                progress->finish();
            return code;
        });
    ui.progress = nullptr;
    if (exitCode == Success)
        std::fprintf(stderr, "trivelctl: checksum %s confirmed by the box\n",
            qPrintable(FormatFirmwareChecksum(firmware.state().FirmwareChecksum)));
    return exitCode;
}

} // namespace trivel
