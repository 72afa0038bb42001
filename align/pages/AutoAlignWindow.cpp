#include "align/pages/AutoAlignWindow.h"

#include "align/SimPhotoProtocol.h"

#include "mask/Masks.h"
#include "session/Session.h"
#include "warp/Warp.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace trivel::align {

namespace {

constexpr int kPictureWidth = 480;
constexpr int kPictureHeight = 270;

QLabel* PictureLabel(const QString& empty)
{
    auto* label = new QLabel(empty);
    label->setAlignment(Qt::AlignCenter);
    label->setFixedSize(kPictureWidth, kPictureHeight);
    label->setFrameShape(QFrame::StyledPanel);
    label->setStyleSheet(QStringLiteral("background: #202020; color: #c0c0c0;"));
    return label;
}

// Where the patterns come from: item 0 the box, item N + 1 screen N of this PC.
QComboBox* PatternsBox()
{
    auto* box = new QComboBox;
    box->addItem(QStringLiteral("Through the box (mask preview)"));
    for (const QString& screen : DescribeScreens())
        box->addItem(QStringLiteral("Full screen on ") + screen);
    box->setToolTip(QStringLiteral(
        "Where the patterns come from: the box's mask preview, or a full-screen window on a screen of "
        "this PC when the PC feeds the box (each window shows its picture whole; the box holds the "
        "others black)"));
    return box;
}

void ShowScaled(QLabel* label, const QImage& image)
{
    if (image.isNull())
        return;
    label->setPixmap(QPixmap::fromImage(
        image.scaled(kPictureWidth, kPictureHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

} // namespace

AutoAlignWindow::AutoAlignWindow(AutoAlignHooks hooks, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_hooks(std::move(hooks))
    , m_runner(std::make_unique<AlignRunner>(*this, m_hooks.box, m_hooks.saveUndo))
    , m_watch(std::make_unique<CameraWatch>(*this))
{
    setWindowTitle(QStringLiteral("Auto Align"));
    m_camera = new QLineEdit;
    m_camera->setPlaceholderText(QStringLiteral("0, /dev/video0, a folder of photos, or sim://HOST:PORT"));
    m_camera->setToolTip(
        QStringLiteral("A capture device, a folder of photos taken by hand (one per pattern, in "
                       "name order), or the photo service of trivel-boxsim --rig"));
    m_layout = new QComboBox;
    m_layout->addItems(
        {QStringLiteral("1x2"), QStringLiteral("1x3"), QStringLiteral("1x4"), QStringLiteral("2x2")});
    m_layout->setCurrentIndex(m_hooks.box.session.ChannelCount >= 4 ? 3 : 0);
    m_measureOnly = new QCheckBox(QStringLiteral("Measure only (send nothing)"));
    m_live = new QCheckBox(QStringLiteral("Live picture"));
    m_live->setToolTip(QStringLiteral("The camera's picture a few times a second, to aim it at the wall"));
    m_start = new QPushButton(QStringLiteral("Start"));
    m_apply = new QPushButton(QStringLiteral("Apply"));
    m_apply->setToolTip(QStringLiteral("Send the measured warp and blend to the box"));
    m_revert = new QPushButton(QStringLiteral("Revert"));
    m_revert->setToolTip(QStringLiteral("Load the setting file saved before sending: the box as it was"));

    m_patterns = PatternsBox();
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Camera:"), m_camera);
    form->addRow(QStringLiteral("Layout (rows x columns):"), m_layout);
    form->addRow(QStringLiteral("Patterns:"), m_patterns);
    form->addRow(QString(), m_measureOnly);
    form->addRow(QString(), m_live);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_start);
    buttons->addWidget(m_apply);
    buttons->addWidget(m_revert);
    buttons->addStretch();

    m_steps = new QListWidget;
    m_steps->setMinimumHeight(160);
    m_picture = new CameraPicture(QStringLiteral("The camera's picture appears here while the patterns run"),
        {kPictureWidth, kPictureHeight});

    m_heat
        = PictureLabel(QStringLiteral("The residual at each grid crossing: green 0, red 1.5 screen pixels"));
    m_residual = new QLabel;
    m_residual->setWordWrap(true);
    m_residual->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* left = new QVBoxLayout;
    left->addLayout(form);
    left->addLayout(buttons);
    left->addWidget(new QLabel(QStringLiteral("Steps:")));
    left->addWidget(m_steps, 1);
    left->addWidget(m_residual);
    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel(QStringLiteral("Camera:")));
    right->addWidget(m_picture);
    right->addWidget(markRow());
    right->addWidget(new QLabel(QStringLiteral("Residual heat map:")));
    right->addWidget(m_heat);
    right->addStretch();
    auto* top = new QHBoxLayout(this);
    top->addLayout(left, 1);
    top->addLayout(right);

    connect(m_start, &QPushButton::clicked, this, &AutoAlignWindow::start);
    connect(m_apply, &QPushButton::clicked, this, &AutoAlignWindow::apply);
    connect(m_revert, &QPushButton::clicked, this, &AutoAlignWindow::revert);
    connect(m_live, &QCheckBox::toggled, this, &AutoAlignWindow::setLive);
    connect(m_mark, &QPushButton::toggled, m_picture, &CameraPicture::setMarking);
    connect(m_clearMarks, &QPushButton::clicked, m_picture, &CameraPicture::clearMarks);
    connect(m_picture, &CameraPicture::marksChanged, this, &AutoAlignWindow::marksChanged);
    marksChanged();
    connect(
        &m_hooks.box.session.events, &SessionEvents::connectedChanged, this, &AutoAlignWindow::updateButtons);
    updateButtons();
}

AutoAlignWindow::~AutoAlignWindow()
{
    // Before the widgets go: the run's waits end and the threads are joined.
    m_watch.reset();
    m_runner.reset();
}

void AutoAlignWindow::showAndRaise()
{
    show();
    raise();
    activateWindow();
}

bool AutoAlignWindow::running() const
{
    return m_runner && m_runner->running();
}

bool AutoAlignWindow::watching() const
{
    return m_watch && m_watch->watching();
}

void AutoAlignWindow::setLive(bool on)
{
    m_watch->stop();
    const QString camera = m_camera->text().trimmed();
    if (!on || running() || camera.isEmpty())
        return;
    m_watch->start(
        camera, 200, [this](const Photo& p) { showPhoto(p); },
        [this](const QString& why) {
            addStep(why, true);
            const QSignalBlocker quiet(m_live);
            m_live->setChecked(false);
        });
}

void AutoAlignWindow::setCapture(int settleMs, int framesAveraged)
{
    m_settleMs = settleMs;
    m_frames = framesAveraged;
}

AlignOptions AutoAlignWindow::options() const
{
    AlignOptions o;
    o.layout = ParseWallLayout(m_layout->currentText()).value_or(WallLayout{});
    for (int w = 0; w < 4; ++w) {
        const WarpModel& m = m_hooks.box.warp.model(w);
        o.frames[std::size_t(w)] = QSize(m.frameWidth, m.frameHeight);
    }
    o.monoMaskLimit = std::size_t(std::max(1, m_hooks.box.masks.state().MonoMaskLimit));
    o.dryRun = m_measureOnly->isChecked();
    o.pointMode = m_pointMode;
    o.settleMs = m_settleMs;
    o.framesAveraged = m_frames;
    o.canvasCorners = m_picture->corners();
    return o;
}

AlignCallbacks AutoAlignWindow::callbacks(bool applying)
{
    AlignCallbacks c;
    c.step = [this](const QString& text) { addStep(text); };
    c.photo = [this](const Photo& p) { showPhoto(p); };
    c.finished = [this, applying](const AlignReport& r) { runFinished(r, applying); };
    return c;
}

void AutoAlignWindow::start()
{
    if (running())
        return;
    const AlignOptions o = options();
    const QString camera = m_camera->text().trimmed();
    m_steps->clear();
    m_residual->clear();
    if (camera.isEmpty()) {
        addStep(QStringLiteral("Give the camera: a device, a folder of photos, or sim://HOST:PORT."), true);
        return;
    }
    if (!m_hooks.box.session.connected()) {
        addStep(QStringLiteral("Connect a box first."), true);
        return;
    }
    if (o.layout.windows() > m_hooks.box.session.ChannelCount) {
        addStep(QStringLiteral("The box has %1 windows; the layout %2 needs %3.")
                    .arg(m_hooks.box.session.ChannelCount)
                    .arg(o.layout.text())
                    .arg(o.layout.windows()),
            true);
        return;
    }
    m_solved = false;
    // The run takes the camera.
    m_watch->stop();
    {
        const QSignalBlocker quiet(m_live);
        m_live->setChecked(false);
    }
    DisplayFactory display;
    if (m_patterns->currentIndex() > 0) {
        QScreen* screen = ScreenNumber(m_patterns->currentIndex() - 1);
        if (!screen) {
            addStep(QStringLiteral("That screen is gone; choose the patterns' screen again."), true);
            return;
        }
        m_patternScreen = std::make_unique<PatternScreen>();
        m_patternScreen->showOn(screen);
        display = ScreenDisplayFactory(*m_patternScreen, o.frames);
    }
    m_runner->start(camera, o, callbacks(false), display);
    updateButtons();
}

void AutoAlignWindow::apply()
{
    if (running() || !m_solved)
        return;
    addStep(QStringLiteral("Applying the measured result"));
    m_runner->startApply(m_report.solution, m_pointMode, m_report.undoFile, callbacks(true));
    updateButtons();
}

void AutoAlignWindow::revert()
{
    if (running() || m_report.undoFile.isEmpty())
        return;
    QString error;
    if (!m_hooks.revert || !m_hooks.revert(m_report.undoFile, error)) {
        addStep(QStringLiteral("The setting file could not be loaded: %1").arg(error), true);
        return;
    }
    addStep(QStringLiteral("Loading %1 into the box: the box as it was before").arg(m_report.undoFile));
    m_solved = !m_report.solution.windows.empty();
    updateButtons();
}

void AutoAlignWindow::addStep(const QString& text, bool problem)
{
    auto* item = new QListWidgetItem(text, m_steps);
    if (problem)
        item->setForeground(QColor(0xc0, 0x20, 0x20));
    m_steps->scrollToBottom();
}

QString AutoAlignWindow::stepsText() const
{
    QStringList lines;
    for (int i = 0; i < m_steps->count(); ++i)
        lines << m_steps->item(i)->text();
    return lines.join(QLatin1Char('\n'));
}

void AutoAlignWindow::showPhoto(const Photo& photo)
{
    m_cameraImage = PhotoImage(photo);
    m_picture->setImage(m_cameraImage);
}

void AutoAlignWindow::runFinished(const AlignReport& report, bool applied)
{
    m_runner->join();
    m_patternScreen.reset();
    if (applied) {
        m_report.undoFile = report.undoFile;
        m_report.sent = report.sent;
        m_report.errors = report.errors;
    } else {
        m_report = report;
    }
    for (const QString& w : report.warnings)
        addStep(w, true);
    for (const QString& e : report.errors)
        addStep(e, true);
    if (!report.ok && report.undoFile.isEmpty())
        addStep(QStringLiteral("Nothing was sent to the box."), true);
    else if (!report.undoFile.isEmpty())
        addStep(QStringLiteral("Setting file saved before sending: %1").arg(report.undoFile));
    m_solved = report.ok && !m_report.solution.windows.empty() && (applied ? false : !report.sent);
    if (report.ok && !applied)
        showResidual();
    if (report.ok && applied)
        addStep(QStringLiteral("Applied"));
    ShowScaled(m_heat, m_report.heatMap);
    if (!m_report.after.isNull())
        m_picture->setImage(m_report.after);
    if (report.ok && !applied)
        saveMarks();
    updateButtons();
    emit finished();
}

void AutoAlignWindow::showResidual()
{
    QStringList lines;
    if (!m_report.sent) {
        lines << QStringLiteral("Measured and solved; nothing sent. Apply sends it.");
        for (std::size_t w = 0; w < m_report.windows.size(); ++w)
            lines << QStringLiteral("%1: pattern fit %2 / %3 output pixels")
                         .arg(WindowTitle(int(w)))
                         .arg(m_report.windows[w].fitRmsX, 0, 'f', 2)
                         .arg(m_report.windows[w].fitRmsY, 0, 'f', 2);
    } else {
        lines << QStringLiteral("Residual, screen pixels:");
        for (std::size_t w = 0; w < m_report.windows.size(); ++w)
            if (!m_report.windows[w].residual.empty()) {
                lines << QStringLiteral("%1: %2").arg(
                    WindowTitle(int(w)), ResidualText(m_report.windows[w].residual.back(), 2));
            }
    }
    m_residual->setText(lines.join(QLatin1Char('\n')));
}

void AutoAlignWindow::updateButtons()
{
    const bool busy = running();
    const bool connected = m_hooks.box.session.connected();
    m_start->setEnabled(!busy && connected);
    m_apply->setEnabled(!busy && connected && m_solved);
    m_revert->setEnabled(!busy && connected && !m_report.undoFile.isEmpty());
    m_camera->setEnabled(!busy);
    m_layout->setEnabled(!busy);
    m_measureOnly->setEnabled(!busy);
    m_live->setEnabled(!busy);
    m_patterns->setEnabled(!busy);
    m_mark->setEnabled(!busy);
    m_clearMarks->setEnabled(!busy);
}

QWidget* AutoAlignWindow::markRow()
{
    m_mark = new QPushButton(QStringLiteral("Mark corners"));
    m_mark->setCheckable(true);
    m_mark->setToolTip(QStringLiteral(
        "Click the canvas's corners on the camera picture: top left, top right, bottom right, bottom "
        "left. Drag a corner, or click near it, to move it."));
    m_clearMarks = new QPushButton(QStringLiteral("Clear marks"));
    m_canvas = new QLabel;
    m_canvas->setWordWrap(true);
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_mark);
    layout->addWidget(m_clearMarks);
    layout->addWidget(m_canvas, 1);
    return row;
}

void AutoAlignWindow::marksChanged()
{
    static const char* const kNext[4] = {"top left", "top right", "bottom right", "bottom left"};
    const std::size_t placed = m_picture->marks().size();
    m_canvas->setText(placed == 4 ? QStringLiteral("Canvas: the marked area")
            : placed == 0         ? QStringLiteral("Canvas: the largest rectangle the projectors cover")
                                  : QStringLiteral("Next corner: %1").arg(QLatin1String(kNext[placed])));
}

// The marks beside the setting file saved before sending, as a folder camera's camera.json
// holds them: each corner on the photo and on the screen frame of the run.
void AutoAlignWindow::saveMarks()
{
    m_marksFile.clear();
    const auto corners = m_picture->corners();
    if (!corners || m_report.undoFile.isEmpty())
        return;
    const Rect& c = m_report.solution.canvas;
    ScreenMarks marks;
    marks.camera = *corners;
    marks.screen
        = {Vec2{c.left, c.top}, Vec2{c.right, c.top}, Vec2{c.right, c.bottom}, Vec2{c.left, c.bottom}};
    QFile f(m_report.undoFile + QStringLiteral(".marks.json"));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(MarksJson(marks)) > 0)
        m_marksFile = f.fileName();
    else
        addStep(
            QStringLiteral("The marks could not be saved beside the setting file: %1").arg(f.errorString()),
            true);
}

void AutoAlignWindow::closeEvent(QCloseEvent* e)
{
    // A run goes on with the window hidden; its end shows up when the window is opened again.
    QWidget::closeEvent(e);
}

} // namespace trivel::align
