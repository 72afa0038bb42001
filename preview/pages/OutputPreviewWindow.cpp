#include "preview/pages/OutputPreviewWindow.h"

#include "box/Box.h"
#include "preview/Controls.h"
#include "preview/PreviewSession.h"
#include "preview/PreviewSource.h"
#include "session/Session.h"

#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QVBoxLayout>

namespace trivel {

namespace {

const char* const kGeometryKey = "OutputPreview/geometry";

QSettings PreviewSettings()
{
    return QSettings(
        QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Trivel"), QStringLiteral("trivel"));
}

} // namespace

// The picture scaled to fit, its aspect kept, on black.
class OutputPreviewWindow::Canvas : public QWidget {
public:
    explicit Canvas(QWidget* parent)
        : QWidget(parent)
    {
        setMinimumSize(160, 90);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    }
    void setPicture(const QImage& img, QSize frame)
    {
        m_img = img;
        m_frame = frame;
        m_scaled = QImage();
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), Qt::black);
        if (m_img.isNull() || m_frame.isEmpty())
            return;
        const QSize fit = m_frame.scaled(size(), Qt::KeepAspectRatio);
        const QRect target(QPoint((width() - fit.width()) / 2, (height() - fit.height()) / 2), fit);
        // Scaled by averaging, once per size: a painter's filter samples a few source pixels
        // per screen pixel and drops the thin strokes of the grid's numbers at a third of the frame.
        if (m_scaled.size() != fit)
            m_scaled = m_img.scaled(fit, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        p.drawImage(target.topLeft(), m_scaled);
    }

private:
    QImage m_img;
    QImage m_scaled;
    QSize m_frame;
};

OutputPreviewWindow::OutputPreviewWindow(Session& s, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_s(s)
{
    setObjectName(ctl::FormPreview.qname());
    setWindowTitle(QStringLiteral("Output Preview"));
    resize(640, 420);

    auto* top = new QHBoxLayout;
    m_title = new QLabel(this);
    top->addWidget(m_title, 1);
    top->addWidget(new QLabel(QStringLiteral("Source:"), this));
    m_sourceBox = new QComboBox(this);
    m_sourceBox->addItems({QStringLiteral("Grid"), QStringLiteral("Ramp"), QStringLiteral("Image file...")});
    top->addWidget(m_sourceBox);
    m_canvas = new Canvas(this);
    m_notes = new QLabel(this);
    m_notes->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_canvas, 1);
    layout->addWidget(m_notes);

    connect(m_sourceBox, &QComboBox::activated, this, &OutputPreviewWindow::sourceChosen);

    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &OutputPreviewWindow::checkForChanges);
    // Several changes in one turn give one redraw.
    m_redrawSoon.setSingleShot(true);
    m_redrawSoon.setInterval(0);
    connect(&m_redrawSoon, &QTimer::timeout, this, &OutputPreviewWindow::redraw);
    m_idle.setSingleShot(true);
    m_idle.setInterval(kIdleMs);
    connect(&m_idle, &QTimer::timeout, this, &OutputPreviewWindow::scheduleFullRedraw);

    SessionEvents* e = &m_s.events;
    connect(e, &SessionEvents::refreshPages, this, &OutputPreviewWindow::scheduleFullRedraw);
    connect(e, &SessionEvents::refreshBlendPages, this, &OutputPreviewWindow::scheduleFullRedraw);
    connect(e, &SessionEvents::warpPointValuesChanged, this, &OutputPreviewWindow::scheduleFullRedraw);
    connect(e, &SessionEvents::windowButtonClicked, this, &OutputPreviewWindow::scheduleFullRedraw);
    connect(e, &SessionEvents::readbackFinished, this, &OutputPreviewWindow::scheduleFullRedraw);
}

OutputPreviewWindow::~OutputPreviewWindow()
{
    // Closing the main window ends the program without hiding this one first.
    if (isVisible())
        saveGeometryNow();
}

void OutputPreviewWindow::showAndRaise()
{
    if (!m_geometryRestored) {
        m_geometryRestored = true;
        restoreGeometry(PreviewSettings().value(QLatin1String(kGeometryKey)).toByteArray());
    }
    show();
    raise();
    activateWindow();
}

void OutputPreviewWindow::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    m_fingerprint = PreviewFingerprint(m_s, m_s.CurrentWindow);
    if (m_polling)
        m_poll.start();
    scheduleFullRedraw();
}

void OutputPreviewWindow::hideEvent(QHideEvent* e)
{
    saveGeometryNow();
    m_poll.stop();
    m_idle.stop();
    m_redrawSoon.stop();
    QWidget::hideEvent(e);
}

void OutputPreviewWindow::saveGeometryNow()
{
    PreviewSettings().setValue(QLatin1String(kGeometryKey), saveGeometry());
}

void OutputPreviewWindow::setPolling(bool on)
{
    m_polling = on;
    if (on && isVisible())
        m_poll.start();
    else
        m_poll.stop();
}

void OutputPreviewWindow::checkForChanges()
{
    const std::size_t f = PreviewFingerprint(m_s, m_s.CurrentWindow);
    if (f == m_fingerprint)
        return;
    m_fingerprint = f;
    m_nudging = true;
    m_redrawSoon.start();
    m_idle.start();
}

void OutputPreviewWindow::scheduleFullRedraw()
{
    // What the signal announced is drawn in full; the poll must not take it for a nudge.
    m_fingerprint = PreviewFingerprint(m_s, m_s.CurrentWindow);
    m_nudging = false;
    m_idle.stop();
    m_redrawSoon.start();
}

void OutputPreviewWindow::setSource(const QString& nameOrFile)
{
    m_sourceName = nameOrFile;
    m_sourceFile = IsPreviewTestPattern(nameOrFile) ? QImage() : LoadPreviewSource(nameOrFile, 0, 0);
    m_prepared = QImage();
    scheduleFullRedraw();
}

void OutputPreviewWindow::sourceChosen(int index)
{
    if (index == 0 || index == 1) {
        setSource(index == 0 ? QStringLiteral("grid") : QStringLiteral("ramp"));
        return;
    }
    const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("Source picture"), QString(),
        QStringLiteral("Images (*.png *.jpg *.jpeg *.bmp)"));
    if (file.isEmpty()) {
        m_sourceBox->setCurrentIndex(m_sourceName == QLatin1String("ramp") ? 1 : 0);
        return;
    }
    setSource(file);
}

QWidget* OutputPreviewWindow::canvas() const
{
    return m_canvas;
}

QString OutputPreviewWindow::notesText() const
{
    return m_notes->text();
}

void OutputPreviewWindow::redraw()
{
    if (!isVisible())
        return;
    const int w = std::clamp(m_s.CurrentWindow, 0, 3);
    const WarpModel& m = m_s.box->warp.state().model[std::size_t(w)];
    const QSize frame(m.frameWidth, m.frameHeight);
    if (m_prepared.size() != frame) {
        m_prepared = IsPreviewTestPattern(m_sourceName)
            ? PreviewTestPattern(m_sourceName, frame.width(), frame.height())
            : PrepareSourceForFrame(m_sourceFile, frame.width(), frame.height());
    }
    m_fingerprint = PreviewFingerprint(m_s, w);
    const PreviewInput in = BuildPreviewInput(m_s, w, m_prepared);
    m_lastStep = m_nudging ? 2 : 1;
    m_picture = RenderOutputPreview(in, m_lastStep);
    ++m_renders;
    m_canvas->setPicture(m_picture, frame);
    m_title->setText(QStringLiteral("Window %1  %2 x %3").arg(w + 1).arg(frame.width()).arg(frame.height()));
    m_notes->setText(in.notes.join(QLatin1Char('\n')));
}

OutputPreviewWindow* InstallOutputPreview(QWidget* mainWindow, Session& s)
{
    auto* preview = new OutputPreviewWindow(s, mainWindow);
    auto* button = new QPushButton(QStringLiteral("Output Preview"), mainWindow);
    button->setObjectName(ctl::BtnPreview.qname());
    // Under BtnFrame at its tallest (four windows end at y 277).
    button->setGeometry(658, 284, 134, 26);
    button->setToolTip(QStringLiteral("What the selected window shows (Ctrl+Shift+O)"));
    QObject::connect(button, &QPushButton::clicked, preview, &OutputPreviewWindow::showAndRaise);
    auto* key = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O), mainWindow);
    QObject::connect(key, &QShortcut::activated, preview, &OutputPreviewWindow::showAndRaise);
    return preview;
}

} // namespace trivel
