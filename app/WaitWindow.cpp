#include "app/WaitWindow.h"

#include "link/Clock.h"

#include <QApplication>
#include <QCloseEvent>
#include <QProgressBar>

#include <algorithm>

namespace trivel {

TForm1::TForm1(Clock& clock, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Please  Wait..."));
    QFont f(
        QStringList{QStringLiteral("MS Sans Serif"), QStringLiteral("Nimbus Sans"), QStringLiteral("Arial")});
    f.setPixelSize(11);
    setFont(f);
    setFixedSize(473, 50);

    PBLink = new QProgressBar(this);
    PBLink->setObjectName(QStringLiteral("PBLink"));
    PBLink->setGeometry(8, 8, 457, 33);
    PBLink->setRange(0, 100);
    PBLink->setValue(100);
    PBLink->setTextVisible(false);

    Timer1 = clock.createTimer(100);
    Timer1->onTimeout = [this] { Timer1Timer(); };
}

TForm1::~TForm1() = default;

QPoint TForm1::CentredOver(const QRect& mainFrame, const QSize& ownFrame)
{
    return {mainFrame.left() + mainFrame.width() / 2 - ownFrame.width() / 2,
        mainFrame.top() + mainFrame.height() / 2 - ownFrame.height() / 2};
}

void TForm1::setHourglass(bool on)
{
    // One screen cursor, not a stack: set it once, clear it completely.
    if (on) {
        if (!QGuiApplication::overrideCursor())
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
    }
}

void TForm1::OpenWaitWindow(QWidget* mainWindow, int maximum)
{
    PBLink->setMaximum(maximum);
    PBLink->setValue(0);
    if (mainWindow) {
        const QSize own = isVisible() ? frameGeometry().size() : size();
        move(CentredOver(mainWindow->frameGeometry(), own));
    }
    setHourglass(true);
    show();
    raise();
    if (mainWindow)
        mainWindow->setEnabled(false);
}

void TForm1::CloseWaitWindow(QWidget* mainWindow)
{
    setHourglass(false);
    hide();
    if (mainWindow) {
        mainWindow->setEnabled(true);
        mainWindow->activateWindow();
        mainWindow->setFocus();
    }
}

void TForm1::Timer1Timer()
{
    int pos = std::min(PBLink->value() + 1, PBLink->maximum());
    if (pos == PBLink->maximum())
        pos = 0;
    PBLink->setValue(pos);
    emit progressStepped(PBLink->value());
}

void TForm1::showEvent(QShowEvent* e)
{
    setHourglass(true);
    QWidget::showEvent(e);
}

void TForm1::closeEvent(QCloseEvent* e)
{
    setHourglass(false);
    QWidget::closeEvent(e);
}

} // namespace trivel
