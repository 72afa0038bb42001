// trivelctl: the headless companion. It drives the very chains the main window uses (the same
// Session, Connection and operations) with a terminal UI port.

#include "TrivelVersion.h"
#include "cli/AlignCommand.h"
#include "cli/Commands.h"

#include <QApplication>

#include <csignal>
#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
    QStringList raw;
    for (int i = 1; i < argc; ++i)
        raw << QString::fromLocal8Bit(argv[i]);
    // Only a pattern window on a screen of the PC needs a display; everything else runs without.
    std::unique_ptr<QCoreApplication> application = trivel::AlignWantsScreen(raw)
        ? std::make_unique<QApplication>(argc, argv)
        : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication& app = *application;
    // Past a file-size limit a write then fails with "File too large", which the save reports and
    // survives, instead of the signal ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    const QStringList args = app.arguments().mid(1);
    if (trivel::cli::CommandWord(args).isEmpty() && args.contains(QStringLiteral("--version"))) {
        std::printf("trivelctl %s\n", trivel::kVersion);
        return 0;
    }
    return trivel::cli::RunCommandLine(args, trivel::cli::BoxEnv{});
}
