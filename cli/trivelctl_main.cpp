// trivelctl: the headless companion. It drives the very chains the main window uses (the same
// Session, Connection and operations) with a terminal UI port.

#include "TrivelVersion.h"
#include "cli/Commands.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
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
