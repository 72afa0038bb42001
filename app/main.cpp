#include "TrivelVersion.h"
#include "app/GuiUi.h"
#include "app/MainWindow.h"
#include "app/WaitWindow.h"
#include "files/SettingFiles.h"
#include "link/Clock.h"
#include "box/Connection.h"
#include "box/Box.h"
#include "session/Session.h"
#include "warp/GridForm.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>
#include <csignal>
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

namespace {

// What the command line asks of this start.
struct StartOptions {
    quint16 port = 7;
    QString address;
    bool tcp = false;
    bool connect = false;
    QString screenshot;
    int page = 0;
    QString settingFile;
};

int CheckStartValues(const QStringList& files, const QString& port, const QString& page, StartOptions& o);

// Reads the options before the GUI starts, so --help and a wrong option work without a display.
// Returns the exit code when the program ends here, or -1 to go on.
int ParseStartOptions(int argc, char** argv, StartOptions& o)
{
    QCommandLineParser cli;
    cli.setApplicationDescription(
        QStringLiteral("Alignment tool for the video processor box.\n"
                       "Needs a display; without one, run it under Xvfb (see the README)."));
    const QCommandLineOption helpOpt = cli.addHelpOption();
    const QCommandLineOption versionOpt = cli.addVersionOption();
    QCommandLineOption portOpt(QStringLiteral("port"), QStringLiteral("TCP port of the box (default 7)."),
        QStringLiteral("N"), QStringLiteral("7"));
    QCommandLineOption addressOpt(QStringLiteral("address"),
        QStringLiteral("Initial text of the address box (default 192.168.0.100)."), QStringLiteral("TEXT"),
        QStringLiteral("192.168.0.100"));
    QCommandLineOption tcpOpt(QStringLiteral("tcp"), QStringLiteral("Start with \"IP Address\" selected."));
    QCommandLineOption shotOpt(QStringLiteral("screenshot"),
        QStringLiteral("Save a picture of the main window to FILE and quit."), QStringLiteral("FILE"));
    QCommandLineOption pageOpt(QStringLiteral("page"),
        QStringLiteral("Start on page N (0..10). PIP (8) and Digi Mapping (9) show once a box that has them "
                       "is connected."),
        QStringLiteral("N"), QStringLiteral("0"));
    QCommandLineOption connectOpt(
        QStringLiteral("connect"), QStringLiteral("Press \"Connect\" after start."));
    cli.addOptions({portOpt, addressOpt, tcpOpt, connectOpt, shotOpt, pageOpt});
    cli.addPositionalArgument(QStringLiteral("file"),
        QStringLiteral("A setting file (.WBF whole box, .SBF single window) to open: loaded at start, and "
                       "sent to the box once it is connected, as Load Setting does."),
        QStringLiteral("[FILE]"));

    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (!cli.parse(args)) {
        fprintf(stderr, "trivel: %s\n", qPrintable(cli.errorText()));
        return 2;
    }
    if (cli.isSet(helpOpt)) {
        fputs(qPrintable(cli.helpText().replace(QLatin1String("<executable_name>"), QLatin1String("trivel"))),
            stdout);
        return 0;
    }
    if (cli.isSet(versionOpt)) {
        printf("trivel %s\n", trivel::kVersion);
        return 0;
    }
    o.address = cli.value(addressOpt).left(15);
    o.tcp = cli.isSet(tcpOpt);
    o.connect = cli.isSet(connectOpt);
    o.screenshot = cli.value(shotOpt);
    return CheckStartValues(cli.positionalArguments(), cli.value(portOpt), cli.value(pageOpt), o);
}

int CheckStartValues(const QStringList& files, const QString& port, const QString& page, StartOptions& o)
{
    if (files.size() > 1) {
        fprintf(stderr, "trivel: give one setting file\n");
        return 2;
    }
    o.settingFile = files.value(0);
    if (!o.settingFile.isEmpty() && !QFileInfo(o.settingFile).isReadable()) {
        fprintf(stderr, "trivel: cannot read %s\n", qPrintable(o.settingFile));
        return 2;
    }
    bool portOk = false;
    const uint p = port.toUInt(&portOk);
    if (!portOk || p == 0 || p > 65535) {
        fprintf(stderr, "trivel: --port wants a number from 1 to 65535\n");
        return 2;
    }
    o.port = quint16(p);
    bool pageOk = false;
    o.page = page.toInt(&pageOk);
    if (!pageOk || o.page < trivel::Page::WarpAdjust || o.page > trivel::Page::Firmware) {
        fprintf(stderr, "trivel: --page wants a number from 0 to 10\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        fprintf(stderr,
            "trivel: no display. Run it on a desktop, or under Xvfb: xvfb-run -a trivel (see the README).\n");
        return 1;
    }
    return -1;
}

// A page that only a box brings up is selected once the read-back has shown it.
void SelectStartPage(trivel::TMainForm& mainForm, trivel::Session& session, int page, bool connecting)
{
    auto selectPage = [&mainForm, page] {
        if (!mainForm.PCMain->isTabVisible(page))
            return false;
        mainForm.PCMain->setCurrentIndex(page);
        return true;
    };
    if (selectPage())
        return;
    if (connecting)
        QObject::connect(
            &session.events, &trivel::SessionEvents::refreshBlendPages, &mainForm,
            [selectPage, page] {
                if (!selectPage())
                    fprintf(stderr, "trivel: page %d is not shown for this box\n", page);
            },
            Qt::SingleShotConnection);
    else
        fprintf(stderr, "trivel: page %d shows only once a box that has it is connected\n", page);
}

// A file given on the command line: shown at once, and sent to the box after its connect
// read-back, which would otherwise replace the loaded values.
void OpenStartFile(trivel::TMainForm& mainForm, trivel::Session& session, const QString& settingFile)
{
    QTimer::singleShot(
        0, &mainForm, [&mainForm, settingFile] { mainForm.settingFiles().loadAndTransfer(settingFile); });
    QObject::connect(
        &session.events, &trivel::SessionEvents::readbackFinished, &mainForm,
        [&mainForm, settingFile] { mainForm.settingFiles().loadAndTransfer(settingFile); },
        Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
}

// The picture is taken once the start-up (and a connect's read-back) has settled.
void ShootWhenSettled(trivel::TMainForm& mainForm, trivel::Box& box, trivel::GuiUi& ui, trivel::Clock& clock,
    const StartOptions& o)
{
    auto* shotTimer = new QTimer(&mainForm);
    const QString file = o.screenshot;
    const int page = o.page;
    const qint64 start = clock.tickMs();
    // After a connect, let a status poll or two paint the indicators first.
    const qint64 minAge = o.connect ? 4500 : 1000;
    shotTimer->setInterval(100);
    QObject::connect(shotTimer, &QTimer::timeout, &mainForm, [&, shotTimer, file, start, minAge, page] {
        const qint64 age = clock.tickMs() - start;
        const bool settled = !box.session.busy() && !ui.waitWindowOpen();
        if (age < minAge || (!settled && age < 15000))
            return;
        // The end of a read-back shows Warp Adjust: back to the page asked for, shot next tick.
        if (page > 0 && page < trivel::kPageCount && mainForm.PCMain->currentIndex() != page) {
            mainForm.PCMain->setCurrentIndex(page);
            return;
        }
        shotTimer->stop();
        QApplication::exit(mainForm.grab().save(file) ? 0 : 1);
    });
    shotTimer->start();
}

} // namespace

int main(int argc, char** argv)
{
    // Past a file-size limit a write then fails with "File too large", which the save reports and
    // survives, instead of the signal ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    StartOptions o;
    if (const int exitCode = ParseStartOptions(argc, argv, o); exitCode >= 0)
        return exitCode;

    TrivelApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Trivel 3 Alpha"));
    QApplication::setApplicationDisplayName(QString());

    trivel::RealClock clock;
    trivel::GuiUi ui;
    trivel::Box box(clock, ui);
    trivel::Session& session = box.session;
    trivel::Connection connection(session);
    connection.setTcpPort(o.port);
    session.ConnectAddressText = o.address;

    // Tests against trivel-boxsim only, which needs no pacing: the transfer's fixed waits in percent.
    if (const QByteArray p = qgetenv("TRIVEL_TEST_WAIT_PERCENT"); !p.isEmpty())
        session.transfer.WaitPercent = std::clamp(p.toInt(), 0, 100);

    // Created in this order: main window, grid view, wait window.
    trivel::TMainForm mainForm(box, connection, ui);
    trivel::TGridForm gridForm(box.warp);
    trivel::TForm1 waitForm(clock);
    ui.setWaitWindow(&waitForm);

    if (o.tcp)
        mainForm.RBTCP->click();
    SelectStartPage(mainForm, session, o.page, o.connect);
    mainForm.move(mainForm.screen()->availableGeometry().center() - mainForm.rect().center());
    mainForm.show();
    if (!o.settingFile.isEmpty())
        OpenStartFile(mainForm, session, o.settingFile);
    if (o.connect)
        QTimer::singleShot(0, &mainForm, [&mainForm] {
            if (mainForm.BtnCnt2->isEnabled())
                mainForm.BtnCnt2->click();
        });
    if (!o.screenshot.isEmpty())
        ShootWhenSettled(mainForm, box, ui, clock, o);
    return app.exec();
}
