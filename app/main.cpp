#include "app/GuiUi.h"
#include "app/MainWindow.h"
#include "app/WaitWindow.h"
#include "link/Clock.h"
#include "link/Connection.h"
#include "link/Session.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>

#include <exception>

namespace {

// An exception that escapes a handler is reported and the program goes on.
class TrivelApplication final : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* e) override
    {
        try {
            return QApplication::notify(receiver, e);
        } catch (const std::exception& ex) {
            QMessageBox::critical(activeWindow(), applicationName(), QString::fromLocal8Bit(ex.what()));
        } catch (...) {
            QMessageBox::critical(activeWindow(), applicationName(), QStringLiteral("Unknown error."));
        }
        return false;
    }
};

} // namespace

int main(int argc, char** argv)
{
    TrivelApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Trivel 3 Alpha"));
    QApplication::setApplicationDisplayName(QString());

    QCommandLineParser cli;
    cli.setApplicationDescription(QStringLiteral("Alignment tool for the video processor box."));
    cli.addHelpOption();
    QCommandLineOption portOpt(QStringLiteral("port"), QStringLiteral("TCP port of the box (default 7)."),
        QStringLiteral("N"), QStringLiteral("7"));
    QCommandLineOption addressOpt(QStringLiteral("address"),
        QStringLiteral("Initial text of the address box (default 192.168.0.100)."), QStringLiteral("TEXT"),
        QStringLiteral("192.168.0.100"));
    QCommandLineOption tcpOpt(QStringLiteral("tcp"), QStringLiteral("Start with \"IP Address\" selected."));
    QCommandLineOption shotOpt(QStringLiteral("screenshot"),
        QStringLiteral("Save a picture of the main window to FILE and quit."), QStringLiteral("FILE"));
    QCommandLineOption pageOpt(QStringLiteral("page"), QStringLiteral("Start on page N (0..13)."),
        QStringLiteral("N"), QStringLiteral("0"));
    cli.addOptions({portOpt, addressOpt, tcpOpt, shotOpt, pageOpt});
    cli.process(app);

    bool portOk = false;
    const uint port = cli.value(portOpt).toUInt(&portOk);
    if (!portOk || port == 0 || port > 65535) {
        fprintf(stderr, "trivel: --port wants a number from 1 to 65535\n");
        return 2;
    }

    trivel::RealClock clock;
    trivel::GuiUi ui;
    trivel::Session session(clock, ui);
    trivel::Connection connection(session);
    connection.setTcpPort(quint16(port));
    ui.setCaption(QStringLiteral("ConnectAddressBox"), cli.value(addressOpt).left(15));

    trivel::TMainForm mainForm(session, connection, ui);
    trivel::TForm1 waitForm(clock);
    ui.setWaitWindow(&waitForm);

    if (cli.isSet(tcpOpt))
        mainForm.RBTCP->click();
    const int page = cli.value(pageOpt).toInt();
    if (page > 0 && page < trivel::kPageCount)
        mainForm.PCMain->setCurrentIndex(page);

    mainForm.move(mainForm.screen()->availableGeometry().center() - mainForm.rect().center());
    mainForm.show();

    if (cli.isSet(shotOpt)) {
        const QString file = cli.value(shotOpt);
        QTimer::singleShot(500, &mainForm, [&mainForm, file] {
            const bool ok = mainForm.grab().save(file);
            QApplication::exit(ok ? 0 : 1);
        });
    }
    return app.exec();
}
