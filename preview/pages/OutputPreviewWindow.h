#pragma once
// "Output Preview": what the current window's projector shows, redrawn after every change.
// Modeless and resizable; remembers its geometry. Changes that come without a session signal
// (a warp nudge) are found by a fingerprint of the preview's input, checked on a short timer;
// while they keep coming the picture is rendered at half size, and at full size once idle.

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <cstddef>

class QComboBox;
class QLabel;

namespace trivel {

class Session;

class OutputPreviewWindow : public QWidget {
    Q_OBJECT
public:
    explicit OutputPreviewWindow(Session& s, QWidget* parent = nullptr);
    ~OutputPreviewWindow() override;

    // Shows the window (restoring its geometry the first time) and brings it to the front.
    void showAndRaise();
    // The timer's check, callable directly: redraws at reduced size when the input changed.
    void checkForChanges();
    // A redraw at full size on the next event-loop turn.
    void scheduleFullRedraw();
    // The timer that calls checkForChanges while the window is shown (tests call it themselves).
    void setPolling(bool on);
    // Picks the source: "grid", "ramp" or an image file.
    void setSource(const QString& nameOrFile);

    const QImage& picture() const { return m_picture; }
    int lastStep() const { return m_lastStep; }
    int renderCount() const { return m_renders; }
    QString notesText() const;
    // Where the picture is drawn, scaled to fit.
    QWidget* canvas() const;

    static constexpr int kPollMs = 30;
    static constexpr int kIdleMs = 180;

protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    void redraw();
    void sourceChosen(int index);
    void saveGeometryNow();

    class Canvas;
    Session& m_s;
    QComboBox* m_sourceBox = nullptr;
    QLabel* m_title = nullptr;
    QLabel* m_notes = nullptr;
    Canvas* m_canvas = nullptr;
    QTimer m_poll;
    QTimer m_redrawSoon;
    QTimer m_idle;
    bool m_nudging = false;
    bool m_geometryRestored = false;
    bool m_polling = true;
    std::size_t m_fingerprint = 0;
    QString m_sourceName = QStringLiteral("grid");
    QImage m_sourceFile; // the picked image file, unscaled
    QImage m_prepared; // the source at the frame size it was last prepared for
    QImage m_picture;
    int m_lastStep = 1;
    int m_renders = 0;
};

} // namespace trivel

namespace trivel {

// The preview window of the main window, the "Output Preview" button under the window frame
// (clear of every control of the layout) and Ctrl+Shift+O (Ctrl+P is the Warp Adjust page's).
OutputPreviewWindow* InstallOutputPreview(QWidget* mainWindow, Session& s);

} // namespace trivel
