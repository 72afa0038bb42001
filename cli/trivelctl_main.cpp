#include "cli/WarpTableCommand.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() >= 2 && args.at(0) == QLatin1String("warp") && args.at(1) == QLatin1String("table")) {
        QTextStream out(stdout);
        QTextStream err(stderr);
        return trivel::RunWarpTableCommand(args.mid(2), out, err);
    }
    return 0;
}
