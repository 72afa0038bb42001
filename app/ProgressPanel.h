#pragma once
// The progress panel UpdateStep that resets, profile loads and setting transfers move over the
// pages: "Upload Data......." with ProgressBar2, and below it what is being sent and the time
// left. While it covers the pages the box is busy with a long operation.

#include <QFrame>

class QLabel;
class QProgressBar;

namespace trivel {

class Session;

class ProgressPanel : public QFrame {
    Q_OBJECT
public:
    ProgressPanel(Session& s, QWidget* parent);

    // Inside the client area (moved there by the core), that is, shown.
    bool isUp() const;

    QProgressBar* ProgressBar2 = nullptr;
    QLabel* StepText = nullptr;
    QLabel* TimeLeft = nullptr;

    // "about 1 min 25 s left" for an estimate in ms; whole seconds rounded up to fives.
    static QString TimeLeftText(qint64 ms);

signals:
    void upChanged(bool up);

protected:
    void moveEvent(QMoveEvent* e) override;

private:
    void transferStep(int phase, int window, int windows);
    void showTimeLeft();

    Session& m_s;
    bool m_up = false;
    qint64 m_startTick = 0;
};

} // namespace trivel
