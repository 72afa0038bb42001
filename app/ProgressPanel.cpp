#include "app/ProgressPanel.h"

#include "files/SettingTransfer.h"
#include "session/Controls.h"
#include "session/Session.h"

#include <QLabel>
#include <QMoveEvent>
#include <QProgressBar>

#include <algorithm>

namespace trivel {

namespace {

// An estimate from less time than this says nothing yet.
constexpr qint64 kFirstEstimateMs = 1000;

QString PhaseText(int phase)
{
    switch (TransferPhase(phase)) {
    case TransferPhase::MaskSlots:
        return QStringLiteral("mask slots");
    case TransferPhase::Settings:
        return QStringLiteral("picture and signal settings");
    case TransferPhase::Warp:
        return QStringLiteral("warp");
    case TransferPhase::Blend:
        return QStringLiteral("blend and mask");
    case TransferPhase::Readback:
        return QStringLiteral("reading the box back");
    }
    return {};
}

} // namespace

ProgressPanel::ProgressPanel(Session& s, QWidget* parent)
    : QFrame(parent)
    , m_s(s)
{
    setObjectName(ctl::UpdateStep.qname());
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setAutoFillBackground(true);
    auto* text = new QLabel(QStringLiteral("Upload Data......."), this);
    text->setGeometry(24, 20, 400, 24);
    ProgressBar2 = new QProgressBar(this);
    ProgressBar2->setObjectName(ctl::ProgressBar2.qname());
    ProgressBar2->setGeometry(24, 56, 572, 30);
    ProgressBar2->setRange(0, 100);
    ProgressBar2->setValue(0);
    StepText = new QLabel(this);
    StepText->setGeometry(24, 88, 380, 22);
    TimeLeft = new QLabel(this);
    TimeLeft->setGeometry(404, 88, 192, 22);
    TimeLeft->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    connect(ProgressBar2, &QProgressBar::valueChanged, this, &ProgressPanel::showTimeLeft);
    connect(&m_s.events, &SessionEvents::settingTransferStep, this, &ProgressPanel::transferStep);
}

bool ProgressPanel::isUp() const
{
    return parentWidget() && y() < parentWidget()->height();
}

void ProgressPanel::moveEvent(QMoveEvent* e)
{
    QFrame::moveEvent(e);
    const bool up = isUp();
    if (up == m_up)
        return;
    m_up = up;
    m_startTick = m_s.clock.tickMs();
    StepText->clear();
    TimeLeft->clear();
    emit upChanged(up);
}

void ProgressPanel::transferStep(int phase, int window, int windows)
{
    const QString what = PhaseText(phase);
    if (phase == int(TransferPhase::MaskSlots) || phase == int(TransferPhase::Readback))
        StepText->setText(what.left(1).toUpper() + what.mid(1));
    else if (windows <= 1)
        StepText->setText(QStringLiteral("Window %1: %2").arg(window + 1).arg(what));
    else
        StepText->setText(QStringLiteral("Window %1 of %2: %3").arg(window + 1).arg(windows).arg(what));
    showTimeLeft();
}

void ProgressPanel::showTimeLeft()
{
    const qint64 elapsed = m_s.clock.tickMs() - m_startTick;
    const int max = ProgressBar2->maximum();
    const int done = ProgressBar2->value() - ProgressBar2->minimum();
    const int all = max - ProgressBar2->minimum();
    if (!m_up || done <= 0 || all <= 0 || elapsed < kFirstEstimateMs) {
        TimeLeft->clear();
        return;
    }
    // The pace so far: the chain's pauses are spread evenly enough over its steps.
    TimeLeft->setText(TimeLeftText(elapsed * qint64(all - std::min(done, all)) / done));
}

QString ProgressPanel::TimeLeftText(qint64 ms)
{
    const qint64 seconds = (std::max<qint64>(ms, 0) + 4999) / 5000 * 5;
    if (seconds == 0)
        return QStringLiteral("a few seconds left");
    if (seconds < 60)
        return QStringLiteral("about %1 s left").arg(seconds);
    if (seconds % 60 == 0)
        return QStringLiteral("about %1 min left").arg(seconds / 60);
    return QStringLiteral("about %1 min %2 s left").arg(seconds / 60).arg(seconds % 60);
}

} // namespace trivel
