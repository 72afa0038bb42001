#include "app/MainWindow.h"

#include "box/Box.h"

#include "app/BuildInfo.h"
#include "app/GuiUi.h"
#include "widgets/IpAddressEdit.h"
#include "widgets/PageWidget.h"
#include "app/ProgressPanel.h"
#include "widgets/WarpShortcutTarget.h"
#include "files/Controls.h"
#include "files/SettingFile.h"
#include "files/SettingFileDialogs.h"
#include "interchange/pages/InterchangeDialogs.h"
#include "mask/Controls.h"
#include "app/AutoAlign.h"
#include "preview/pages/OutputPreviewWindow.h"
#include "box/Connection.h"
#include "box/PageShow.h"
#include "session/Operations.h"
#include "session/Session.h"
#include "box/StatusPoll.h"
#include "settings/SettingsState.h"
#include "session/Operations.h"
#include "warp/WarpModel.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

namespace trivel {

namespace {

// Window buttons of BtnFrame; tops and height are shared with the channel layout.
constexpr int kWinButtonLeft = 8;
constexpr int kWinButtonWidth = 56;

QPixmap DrawLogo(const QSize& size)
{
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, size.height());
    g.setColorAt(0, QColor(20, 40, 90));
    g.setColorAt(1, QColor(0, 110, 170));
    p.setBrush(g);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(0, 0, size.width(), size.height()), 6, 6);
    // A projector beam fanning out to the right.
    QPolygonF beam;
    beam << QPointF(10, size.height() / 2.0) << QPointF(size.width() - 6, 4)
         << QPointF(size.width() - 6, size.height() - 4);
    p.setBrush(QColor(255, 255, 255, 40));
    p.drawPolygon(beam);
    QFont f(
        QStringList{QStringLiteral("Nimbus Sans"), QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
    f.setPixelSize(size.height() * 5 / 9);
    f.setBold(true);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 2);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, size.width(), size.height()), Qt::AlignCenter, QStringLiteral("TRIVEL"));
    return pm;
}

} // namespace

TMainForm::TMainForm(Box& box, Connection& connection, GuiUi& ui, QWidget* parent)
    : QWidget(parent,
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , m_box(box)
    , m_s(box.session)
    , m_files(box)
    , m_connection(connection)
    , m_ui(ui)
{
    setObjectName(ctl::MainForm.qname());
    setWindowTitle(QString::fromLatin1(kMainCaption));
    QFont f(QStringList{QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
        QStringLiteral("Nimbus Sans"), QStringLiteral("Arial")});
    f.setPixelSize(13);
    setFont(f);
    setFixedSize(794, 455);

    buildConnectGroup();
    buildLogo();
    buildSettingGroup();
    buildWindowFrame();
    buildPages();
    // The Warp Adjust page takes the warp keys.
    setWarpShortcutTarget(dynamic_cast<WarpShortcutTarget*>(pages[Page::WarpAdjust]));
    buildHiddenArea();
    InstallOutputPreview(this, m_s);
    buildInterchangeButtons();
    InstallAutoAlign(this, m_box);
    // What needs a box is greyed out while none is connected.
    connect(&m_s.events, &SessionEvents::connectedChanged, this, &TMainForm::showLinkState);
    showLinkState(m_s.connected());

    CloseTimer = m_s.clock.createTimer(50);
    CloseTimer->onTimeout = [this] { CloseTimerTimer(); };

    m_ui.setMainWindow(this);
    m_ui.adopt(this);
    connect(&m_s.events, &SessionEvents::windowButtonClicked, this, &TMainForm::windowButtonClicked);
    // Clicks by the user and by code (forwarded above) select the window.
    connect(this, &TMainForm::windowButtonClicked, this,
        [this](int tag) { Launch(m_s, m_box.settings.selectWindow(tag)); });
    FormCreate();
    qApp->installEventFilter(this);
}

TMainForm::~TMainForm()
{
    m_ui.setMainWindow(nullptr);
}

void TMainForm::buildConnectGroup()
{
    Grop1 = build::Group(this, &ctl::Grop1, QStringLiteral("Connect To"), QRect(4, 0, 650, 62));
    RBTCP = build::Make<QRadioButton>(Grop1, ctl::RBTCP, QStringLiteral("IP Address"), QRect(16, 28, 96, 18));

    // 4 px right of RBTCP and 4 px above its top.
    ConnectAddressBox = new IpAddressEdit(Grop1);
    ConnectAddressBox->setObjectName(ctl::ConnectAddressBox.qname());
    ConnectAddressBox->setGeometry(RBTCP->x() + RBTCP->width() + 4, RBTCP->y() - 4, 220, 24);
    ConnectAddressBox->setText(m_s.ConnectAddressText);

    RBUSB = build::Make<QRadioButton>(Grop1, ctl::RBUSB, QStringLiteral("USB"), QRect(360, 28, 70, 18));
    RBUSB->setChecked(true);

    BtnCnt2
        = build::Make<QPushButton>(Grop1, ctl::BtnCnt2, QStringLiteral("Connect"), QRect(520, 20, 114, 32));
    BtnCnt2->setEnabled(false);

    connect(RBTCP, &QRadioButton::toggled, this, [this](bool on) {
        if (on && !m_ui.applying())
            RBTCPClick();
    });
    connect(RBUSB, &QRadioButton::toggled, this, [this](bool on) {
        if (on && !m_ui.applying())
            RBUSBClick();
    });
    connect(BtnCnt2, &QPushButton::clicked, this, &TMainForm::BtnCnt2Click);
}

void TMainForm::buildLogo()
{
    auto* logo = build::Group(this, &ctl::GBLogo, QString(), QRect(658, 0, 134, 61));
    auto* image = new QLabel(logo);
    image->setObjectName(ctl::Image1.qname());
    image->setGeometry(6, 10, 122, 46);
    image->setScaledContents(true);
    image->setPixmap(DrawLogo(image->size() * 2));
}

void TMainForm::buildSettingGroup()
{
    auto* group = build::Group(this, &ctl::SLGroup, QString(), QRect(658, 56, 134, 75));
    auto* save = build::Make<QPushButton>(
        group, ctl::TntButton1, QStringLiteral("Save Setting"), QRect(8, 12, 118, 26));
    auto* load = build::Make<QPushButton>(
        group, ctl::TntButton2, QStringLiteral("Load Setting"), QRect(8, 42, 118, 26));
    new SettingFileDialogs(m_files, this, save, load);
}

// Export... and Import... side by side under the Output Preview button; the undo file of an
// import is the Save Setting button's whole-box file.
void TMainForm::buildInterchangeButtons()
{
    auto* exporting
        = build::Make<QPushButton>(this, ctl::BtnExport, QStringLiteral("Export\u2026"), QRect(658, 314, 66, 26));
    exporting->setToolTip(QStringLiteral("Every window's warp and blend to an MPCDI file (.mpcdi)"));
    auto* importing
        = build::Make<QPushButton>(this, ctl::BtnImport, QStringLiteral("Import\u2026"), QRect(726, 314, 66, 26));
    importing->setToolTip(QStringLiteral("A region of an MPCDI file into a window of the box"));
    auto* dialogs
        = new InterchangeDialogs(m_box, this, exporting, importing, [this](const QString& path, QString* why) {
              const SettingFileOutcome saved = SaveSettingFile(m_s, path, true);
              if (why)
                  *why = saved.message;
              return saved.ok;
          });
    connect(dialogs, &InterchangeDialogs::importRunning, this, &TMainForm::holdForLongOperation);
}

void TMainForm::buildWindowFrame()
{
    BtnFrame = build::Group(this, &ctl::BtnFrame, QString(), QRect(658, 128, 133, 149));
    auto* group = new QButtonGroup(BtnFrame);
    for (int i = 0; i < 4; ++i) {
        const int top = kBtnWinTop[std::size_t(i)];
        auto* b = build::Make<QPushButton>(BtnFrame, ctl::BtnWins[std::size_t(i)], QString::number(i + 1),
            QRect(kWinButtonLeft, top, kWinButtonWidth, kBtnWinHeight));
        b->setCheckable(true);
        b->setChecked(i == 0);
        b->setProperty("Tag", i);
        group->addButton(b);
        connect(b, &QPushButton::clicked, this, [this, i] { emit windowButtonClicked(i); });

        // Output lamp above the input lamp.
        for (int k = 0; k < 2; ++k) {
            auto* lamp = new QLabel(BtnFrame);
            lamp->setObjectName((k == 0 ? ctl::PnlOpts : ctl::PnlIpts)[std::size_t(i)].qname());
            lamp->setGeometry(kWinButtonLeft + kWinButtonWidth + 8, top + 2 + k * 14, 52, 12);
            lamp->setFrameShape(QFrame::Panel);
            lamp->setFrameShadow(QFrame::Sunken);
            lamp->setAutoFillBackground(true);
            QPalette pal = lamp->palette();
            pal.setColor(QPalette::Window, QColor(192, 192, 192));
            lamp->setPalette(pal);
        }
    }
}

void TMainForm::FormCreate()
{
    // The caption carries the build date.
    setWindowTitle(BuildCaption(BuildDate()));
    // The link's start-up state: transport choice, connect button, device scan.
    m_connection.startUp();
    FillLookupTables();
    SetActivePage(m_s, Page::WarpAdjust);
    // Window buttons and lamps as for a box not yet connected.
    ApplyChannelLayout(m_s, false);
    ShowSignalIndicators(m_s, 0, 0);
    m_ui.setEnabled(ctl::FRstBtn, true);
    m_ui.setVisible(ctl::FRstBtn, true);
    m_s.FactoryResetPending = false;
    // Every window's warp model starts with a 1920 x 1080 frame.
    m_s.CurrentWindow = 0;
    for (int w = 0; w < 4; ++w) {
        m_s.box->warp.state().WarpWindow = w;
        InitWarpWindow(m_s.box->warp.state());
    }
    ResetWindowSettings(m_s);
    // The stored pattern indices are zero from construction; WarpWindow ends at 0.
    m_s.box->warp.state().WarpWindow = 0;
    // Pages that only a box (or nothing) brings up.
    for (int i : {Page::Register, Page::Sheet13, Page::UserMap, Page::Pip, Page::DigiMap})
        SetPageAvailable(m_s, i, false);
    m_box.registers.reset();
    // The user-mask group waits for a box that supports it.
    m_ui.setEnabled(ctl::GBUserMask, false);
    m_ui.setVisible(ctl::GBUserMask, false);
    // Colour dialog preset, blank mask picture, slot preview.
    m_box.masks.initPages();

    connect(PCMain, &QTabWidget::currentChanged, this, &TMainForm::pageChanged);
}

void TMainForm::FillLookupTables()
{
    for (int i = 0; i < kLookupSize; ++i) {
        m_lookup[std::size_t(i)] = nullptr;
        if (const Control* c = kControlLookup[std::size_t(i)])
            m_lookup[std::size_t(i)] = findChild<QAbstractButton*>(c->qname());
    }
    // The output-mode buttons' Tag is the OPM code they send.
    for (int code = 0; code < 15; ++code)
        if (QAbstractButton* b = m_lookup[std::size_t(Lookup::OutputMode + code)])
            b->setProperty("Tag", code);
}

QAbstractButton* TMainForm::lookup(int index) const
{
    return index >= 0 && index < kLookupSize ? m_lookup[std::size_t(index)] : nullptr;
}

void TMainForm::pageChanged(int index)
{
    if (index >= 0)
        m_s.ActivePage = index;
    // Pages the core switches (or that a hidden tab gives way to) are not shown by the user.
    if (!m_ui.applying())
        Launch(m_s, ShowPage(m_s, index));
}

void TMainForm::RBTCPClick()
{
    m_connection.RBTCPClick();
}

void TMainForm::RBUSBClick()
{
    m_connection.RBUSBClick();
    // Refused (another instance has USB): the handler fell back to TCP.
    if (RBTCP->isChecked())
        RBTCP->setFocus();
}

void TMainForm::BtnCnt2Click()
{
    m_s.ConnectAddressText = ConnectAddressBox->text();
    m_connection.BtnCnt2Click();
}

void TMainForm::showLinkState(bool connected)
{
    for (QWidget* p : pages)
        if (auto* page = qobject_cast<PageWidget*>(p))
            page->setBoxConnected(connected);
}

void TMainForm::holdForLongOperation(bool running)
{
    // A window switch, a page's request or a file load in the middle would change what the box
    // is being sent; a disconnect stays possible.
    for (const Control* c : {&ctl::BtnFrame, &ctl::GroupBox1, &ctl::SLGroup})
        if (QWidget* w = m_ui.widget(c->qname()))
            m_ui.hold(w, running);
}

void TMainForm::CloseTimerTimer()
{
    CloseTimer->setEnabled(false);
    m_connection.BtnCnt2Click();
}

void TMainForm::closeEvent(QCloseEvent* e)
{
    m_connection.FormClose();
    QWidget::closeEvent(e);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w || w->window() != this)
        return false;
    auto* k = static_cast<QKeyEvent*>(event);
    // An unconsumed key travels from the focused control up through its parents as the same
    // event: look at it once, where it arrived first. A new key can reuse the address of one
    // already gone (a modifier press, the last repeat), so only a step to the parent of the
    // last receiver, with the same key, counts as the same event.
    const KeySeen key{event, w, k->key(), k->modifiers(), k->isAutoRepeat(), k->timestamp()};
    if (m_keySeen.event == event && m_keySeen.receiver && w == m_keySeen.receiver->parentWidget()
        && m_keySeen.sameKey(key)) {
        m_keySeen.receiver = w;
        return false;
    }
    // Handlers may run nested event loops that see other keys; this one goes on up afterwards.
    const bool consumed = FormShortCut(k->key(), k->modifiers());
    m_keySeen = consumed ? KeySeen{} : key;
    return consumed;
}

bool TMainForm::FormShortCut(int key, Qt::KeyboardModifiers modifiers)
{
    // A key pressed while the window switch pauses would act on a window half switched.
    if ((m_warpTarget && m_warpTarget->warpBusy()) || m_s.SelectingWindow)
        return true;
    const bool shift = modifiers & Qt::ShiftModifier;
    const bool alt = modifiers & Qt::AltModifier;
    const bool ctrl = modifiers & Qt::ControlModifier;

    if (ctrl && alt && !shift && key >= Qt::Key_1 && key <= Qt::Key_4) {
        if (UpdateStep->isUp())
            return true;
        // Only the boards present on the box select their window.
        const int bit = key - Qt::Key_1;
        if (bit < 2 && (m_s.BoardMask >> bit) & 1u) {
            if (lookup(Lookup::Window + bit))
                ClickWindowButton(m_s, bit);
        }
        return true;
    }
    if (PCMain->currentIndex() != Page::WarpAdjust || !m_warpTarget || UpdateStep->isUp())
        return false;
    return warpPageShortcut(key, shift, alt, ctrl);
}

bool TMainForm::warpPageShortcut(int key, bool shift, bool alt, bool ctrl)
{
    WarpShortcutTarget& t = *m_warpTarget;
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down: {
        const int dir = key - Qt::Key_Left; // Left, Up, Right, Down are consecutive
        if (ctrl && !shift && !alt) {
            void (WarpShortcutTarget::*cur[])()
                = {&WarpShortcutTarget::BtnCurLeftClick, &WarpShortcutTarget::BtnCurUpClick,
                    &WarpShortcutTarget::BtnCurRightClick, &WarpShortcutTarget::BtnCurDownClick};
            (t.*cur[dir])();
            return true;
        }
        void (WarpShortcutTarget::*move[])()
            = {&WarpShortcutTarget::BtnMoveLeftClick, &WarpShortcutTarget::BtnMoveUpClick,
                &WarpShortcutTarget::BtnMoveRightClick, &WarpShortcutTarget::BtnMoveDownClick};
        const bool fine = shift && !ctrl && !alt;
        if (fine)
            t.setFineStep(true);
        (t.*move[dir])();
        if (fine)
            t.setFineStep(false);
        return true;
    }
    case Qt::Key_P: {
        int index = 0;
        if (!ctrl) {
            index = t.patternIndex() + 1;
            if (index >= t.patternCount())
                index = 0;
        }
        t.selectPattern(index);
        t.CBPatternSel1Change();
        return true;
    }
    case Qt::Key_M: {
        const int w = std::clamp(m_s.CurrentWindow, 0, 3);
        switch (m_s.box->warp.state().model[std::size_t(w)].ControlPattern) {
        case 1:
            t.BtnWP3x3Click();
            break;
        case 2:
            t.BtnWP5x3Click();
            break;
        case 3:
            t.BtnWP9x5Click();
            break;
        case 4:
            t.BtnWP17x17Click();
            break;
        case 100:
            t.BtnWPWallClick();
            break;
        default:
            t.BtnWP2x2Click();
            break;
        }
        return true;
    }
    case Qt::Key_R:
        // Reset, and the key still goes on to the focused control.
        t.BtnWPResetClick();
        return false;
    case Qt::Key_U:
        t.BtnWPUndoClick();
        return false;
    default:
        return false;
    }
}

} // namespace trivel
