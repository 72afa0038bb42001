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
#include "cli/ProgressLine.h"

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

// Ends the progress line before a message of the chains is printed.
class FirmwareUi : public cli::CliUi {
public:
    FirmwareUi()
        : CliUi(false)
    {
    }
    cli::ProgressLine* progress = nullptr;
    const std::size_t* position = nullptr;
    const FirmwareOutcome* outcome = nullptr;
    MsgResult message(MsgIcon icon, const QString& caption, const QString& text, MsgButtons buttons) override
    {
        // A box restarting after a confirmed update drops the link: that is the restart, not news.
        if (outcome && *outcome == FirmwareOutcome::Done
            && text == QLatin1String("Connection to the box lost."))
            return MsgResult::Ok;
        if (progress) {
            progress->update(qint64(*position));
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

namespace {

struct Options {
    CliLinkOptions link;
    bool noRestart = false;
    bool info = false;
    QString file;
};

// -1: parsed; otherwise the exit code (help shown, or a usage error said).
int Parse(const QStringList& args, Options& o)
{
    bool seenCommand = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        QString error;
        if (a == "-h" || a == "--help") {
            std::fputs(kFirmwareHelp, stdout);
            return Success;
        }
        if (TakeLinkOption(args, i, o.link, error)) {
            if (!error.isEmpty())
                return Fail(Usage, error);
        } else if (a == "--no-restart") {
            o.noRestart = true;
        } else if (a.startsWith('-')) {
            return Fail(Usage, "unknown option " + a);
        } else if (!seenCommand && a == "firmware") {
            seenCommand = true;
        } else if (seenCommand && !o.info && o.file.isEmpty() && a == "info") {
            o.info = true;
        } else if (seenCommand && o.file.isEmpty()) {
            o.file = a;
        } else {
            return Fail(Usage, "unexpected argument " + a);
        }
    }
    if (o.file.isEmpty())
        return Fail(Usage, "firmware needs FILE.BIN; try 'trivelctl firmware --help'");
    return -1;
}

} // namespace

int RunFirmwareCommand(const QStringList& args, const cli::BoxEnv& env)
{
    Options o;
    if (const int code = Parse(args, o); code >= 0)
        return code;
    if (o.info)
        return RunInfo(o.file);
    if (const int rc = CheckImage(o.file, nullptr); rc != Success)
        return rc;
    const CliLinkOptions& link = o.link;
    const QString& file = o.file;
    const bool noRestart = o.noRestart;

    FirmwareUi ui;
    cli::BoxRun run(env, link, ui);
    Session& s = run.session();
    Firmware& firmware = run.box().firmware;
    firmware.setRestartAfterUpdate(!noRestart);
    std::unique_ptr<cli::ProgressLine> progress;
    const int exitCode = RunOnBox(
        run,
        [&] {
            firmware.loadImage(file);
            progress = std::make_unique<cli::ProgressLine>(
                "firmware", qint64(firmware.state().FirmwareImage.size()), "bytes");
            ui.progress = progress.get();
            ui.position = &firmware.state().ReadPosition;
            ui.outcome = &firmware.state().Outcome;
            firmware.startUpdate();
        },
        [&] {
            progress->update(qint64(firmware.state().ReadPosition));
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
