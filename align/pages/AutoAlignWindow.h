#pragma once
// "Auto Align": camera alignment from the main window. The camera source and the layout, Start
// (measure, solve, save the setting file, send, verify; or measure only), the steps as they run,
// the camera's picture as it comes, the residual heat map, Apply (send the measured result) and
// Revert (load the setting file saved before sending). The procedure runs on a thread of its own;
// the window and the session's chains stay live.

#include "align/BoxPorts.h"
#include "align/pages/CameraPicture.h"
#include "align/screen/PatternScreen.h"

#include <QImage>
#include <QWidget>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace trivel::align {

struct AutoAlignHooks {
    BoxSubsystems box;
    // Saves the box's setting file before anything is sent: the name it got.
    BoxPorts::SaveUndo saveUndo;
    // Loads a setting file into the box (its transfer starts): false with the reason.
    std::function<bool(const QString& file, QString& error)> revert;
};

class AutoAlignWindow : public QWidget {
    Q_OBJECT
public:
    AutoAlignWindow(AutoAlignHooks hooks, QWidget* parent = nullptr);
    ~AutoAlignWindow() override;

    void showAndRaise();
    // The buttons' work, callable directly.
    void start();
    void apply();
    void revert();

    bool running() const;
    const AlignReport& lastReport() const { return m_report; }
    QString stepsText() const;
    const QImage& cameraPicture() const { return m_cameraImage; }
    const QImage& heatMap() const { return m_report.heatMap; }
    QLineEdit* cameraField() const { return m_camera; }
    QComboBox* layoutBox() const { return m_layout; }
    QCheckBox* measureOnlyBox() const { return m_measureOnly; }
    QCheckBox* liveBox() const { return m_live; }
    bool watching() const;
    QPushButton* startButton() const { return m_start; }
    QPushButton* applyButton() const { return m_apply; }
    QPushButton* revertButton() const { return m_revert; }
    QLabel* residualLabel() const { return m_residual; }
    CameraPicture* cameraView() const { return m_picture; }
    QPushButton* markButton() const { return m_mark; }
    QPushButton* clearMarksButton() const { return m_clearMarks; }
    QLabel* canvasLabel() const { return m_canvas; }
    // "Patterns:": through the box, or a screen of the PC (item N + 1 is screen N).
    QComboBox* patternsBox() const { return m_patterns; }
    // The marks saved beside the undo file after a run with marked corners.
    QString marksFile() const { return m_marksFile; }
    // Settle time and frames per photo (a simulated camera needs neither).
    void setCapture(int settleMs, int framesAveraged);

signals:
    void finished();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    AlignOptions options() const;
    void addStep(const QString& text, bool problem = false);
    void showPhoto(const Photo& photo);
    void runFinished(const AlignReport& report, bool applied);
    void showResidual();
    void updateButtons();
    void setLive(bool on);
    AlignCallbacks callbacks(bool applying);
    void marksChanged();
    void saveMarks();
    QWidget* markRow();

    AutoAlignHooks m_hooks;
    std::unique_ptr<AlignRunner> m_runner;
    std::unique_ptr<CameraWatch> m_watch;
    QCheckBox* m_live = nullptr;
    QLineEdit* m_camera = nullptr;
    QComboBox* m_layout = nullptr;
    QCheckBox* m_measureOnly = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_apply = nullptr;
    QPushButton* m_revert = nullptr;
    QListWidget* m_steps = nullptr;
    CameraPicture* m_picture = nullptr;
    QPushButton* m_mark = nullptr;
    QPushButton* m_clearMarks = nullptr;
    QLabel* m_canvas = nullptr;
    QComboBox* m_patterns = nullptr;
    std::unique_ptr<PatternScreen> m_patternScreen;
    QString m_marksFile;
    QLabel* m_heat = nullptr;
    QLabel* m_residual = nullptr;
    QImage m_cameraImage;
    AlignReport m_report;
    bool m_solved = false; // a result to send (a measure-only run, or one reverted)
    bool m_pointMode = false;
    int m_settleMs = 250;
    int m_frames = 3;
};

} // namespace trivel::align
