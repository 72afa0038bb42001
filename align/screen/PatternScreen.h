#pragma once
// The second pattern source: a frameless full-screen window of the tool on a screen of the PC,
// for rigs where the PC feeds the box. The PC's picture is the input of the box's windows (each
// window shows it whole, through its warp and blend), so the pattern of the window being measured
// is drawn full screen, in that window's frame, and every other window is held black by a black
// mask preview on the box. The results still go to the box through its result sink.

#include "align/BoxPorts.h"

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <array>
#include <memory>

class QScreen;

namespace trivel::align {

class PatternScreen : public QWidget {
    Q_OBJECT
public:
    explicit PatternScreen(QWidget* parent = nullptr);

    // Full screen on that screen, frameless, above the other windows, with no cursor.
    void showOn(QScreen* screen);
    // The picture, stretched to the window pixel for pixel (no smoothing).
    void setPicture(const QImage& picture);
    const QImage& picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QImage m_picture;
};

// The screens of the PC counted from 0, as `--patterns screen:N` counts them: null when there is
// no such screen (or no GUI application).
QScreen* ScreenNumber(int number);
// "screen 0: 1920 x 1080 at 0, 0 (HDMI-1)", one line a screen.
QStringList DescribeScreens();

class ScreenPatternDisplay final : public PatternDisplay {
public:
    // frames: each window's output frame, the patterns' size. box: holds the windows not being
    // measured black (null: nothing to hold, the PC feeds the measured window alone). thread:
    // how a procedure on another thread reaches the screen's thread (null: called on it).
    ScreenPatternDisplay(
        PatternScreen& screen, std::array<QSize, 4> frames, PatternDisplay* box, SessionThread* thread);
    // Takes the black hold off every window still held: a run that ended early (a dry run, a
    // refusal) leaves the box showing its input.
    ~ScreenPatternDisplay() override;
    ScreenPatternDisplay(const ScreenPatternDisplay&) = delete;
    ScreenPatternDisplay& operator=(const ScreenPatternDisplay&) = delete;

    bool showMask(int window, const MaskBytes& stream, QString& error) override;
    bool showGrid(int window, const GridSpec& grid, QString& error) override;
    bool blank(int window, QString& error) override;
    bool release(int window, QString& error) override;

private:
    bool draw(int window, QImage picture, QString& error);
    bool letThrough(int window, QString& error);
    bool onScreenThread(std::function<bool(QString&)> work, QString& error);

    QPointer<PatternScreen> m_screen;
    std::array<QSize, 4> m_frames;
    PatternDisplay* m_box;
    SessionThread* m_thread;
    std::array<bool, 4> m_held{}; // the box holds the window black
};

// The factory AlignRunner takes: the screen display over the box's display.
DisplayFactory ScreenDisplayFactory(PatternScreen& screen, std::array<QSize, 4> frames);

} // namespace trivel::align
