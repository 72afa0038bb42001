#pragma once
// The shared wait window Form1: covers long exchanges with the box and shows their progress.

#include <QWidget>

#include <memory>

class QProgressBar;

namespace trivel {

class Clock;
class ClockTimer;

class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(Clock& clock, QWidget* parent = nullptr);
    ~TForm1() override;

    QProgressBar* PBLink = nullptr;
    // Cycling bar for operations of open-ended length (100 ms, disabled at start).
    std::unique_ptr<ClockTimer> Timer1;

    // Centres itself over the main window, hourglass cursor, disables the main window.
    void OpenWaitWindow(QWidget* mainWindow, int maximum);
    void CloseWaitWindow(QWidget* mainWindow);
    void Timer1Timer();

    // Where the window goes over a main window of the given frame (integer division).
    static QPoint CentredOver(const QRect& mainFrame, const QSize& ownFrame);

    static void setHourglass(bool on);

signals:
    // PBLink's position changed by Timer1.
    void progressStepped(int position);

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
};

} // namespace trivel
