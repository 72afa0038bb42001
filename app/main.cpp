#include "app/GuiUi.h"
#include "app/MainWindow.h"
#include "app/WaitWindow.h"
#include "link/Clock.h"
#include "session/Connection.h"
#include "session/Session.h"
#include "warp/GridForm.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <QPushButton>
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
    QCommandLineOption connectOpt(
        QStringLiteral("connect"), QStringLiteral("Press \"Connect\" after start."));
    cli.addOptions({portOpt, addressOpt, tcpOpt, connectOpt, shotOpt, pageOpt});
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
    session.ConnectAddressText = cli.value(addressOpt).left(15);

    // Created in this order: main window, grid view, wait window.
    trivel::TMainForm mainForm(session, connection, ui);
    trivel::TGridForm gridForm(session);
    trivel::TForm1 waitForm(clock);
    ui.setWaitWindow(&waitForm);

    if (cli.isSet(tcpOpt))
        mainForm.RBTCP->click();
    const int page = cli.value(pageOpt).toInt();
    if (page > 0 && page < trivel::kPageCount)
        mainForm.PCMain->setCurrentIndex(page);

    mainForm.move(mainForm.screen()->availableGeometry().center() - mainForm.rect().center());
    mainForm.show();

    if (cli.isSet(connectOpt))
        QTimer::singleShot(0, &mainForm, [&mainForm] {
            if (mainForm.BtnCnt2->isEnabled())
                mainForm.BtnCnt2->click();
        });

    // The picture is taken once the start-up (and a connect's read-back) has settled.
    QTimer shotTimer;
    if (cli.isSet(shotOpt)) {
        const QString file = cli.value(shotOpt);
        const qint64 start = clock.tickMs();
        // After a connect, let a status poll or two paint the indicators first.
        const qint64 minAge = cli.isSet(connectOpt) ? 4500 : 1000;
        shotTimer.setInterval(100);
        QObject::connect(&shotTimer, &QTimer::timeout, &mainForm, [&, file, start, minAge, page] {
            const qint64 age = clock.tickMs() - start;
            const bool settled = session.PendingOp == 0 && !ui.waitWindowOpen();
            if (age < minAge || (!settled && age < 15000))
                return;
            // The end of a read-back shows Warp Adjust: back to the page asked for, shot next tick.
            if (page > 0 && page < trivel::kPageCount && mainForm.PCMain->currentIndex() != page) {
                mainForm.PCMain->setCurrentIndex(page);
                return;
            }
            shotTimer.stop();
            QApplication::exit(mainForm.grab().save(file) ? 0 : 1);
        });
        shotTimer.start();
    }
    return app.exec();
}
