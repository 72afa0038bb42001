#include "warp/pages/WarpAdjustPage.h"

#include "widgets/BitBtnEZ.h"
#include "session/Operations.h"
#include "session/Session.h"
#include "warp/Controls.h"
#include "warp/Warp.h"

#include <QComboBox>
#include <QLabel>
#include <QScopedValueRollback>
#include <QSlider>

namespace trivel {

namespace {

QSlider* TrackBar(
    QWidget* parent, const Control& c, int minimum, int maximum, int start, const QRect& geometry)
{
    auto* t = new QSlider(Qt::Horizontal, parent);
    t->setObjectName(c.qname());
    t->setRange(minimum, maximum);
    t->setValue(start);
    t->setGeometry(geometry);
    return t;
}

} // namespace

WarpAdjustPage::WarpAdjustPage(Session& s, Warp& warp, QWidget* parent)
    : PageWidget(s, parent)
    , m_warp(warp)
{
    // Everything but the move step talks to the box.
    m_left = boxArea(QRect(0, 0, 312, 330));
    m_right = boxArea(QRect(316, 60, 300, 280));
    buildModes();
    buildArrows();
    buildSettings();

    s.pageHooks.show[Page::WarpAdjust] = [this] { m_warp.showAdjustPage(); };
    connect(&s.events, &SessionEvents::warpPointValuesChanged, this, [this] { m_warp.showPointValues(); });
    connect(&s.events, &SessionEvents::refreshPages, this, [this] { m_warp.refreshAdjust(); });
}

WarpAdjustPage::~WarpAdjustPage()
{
    m_s.pageHooks.show[Page::WarpAdjust] = nullptr;
}

void WarpAdjustPage::buildModes()
{
    // The mode group: disabled from a mode change until the box has answered its sequence.
    auto* group = build::Group(m_left, &ctl::GPWPMode, QStringLiteral("Warp Mode"), QRect(8, 8, 300, 64));
    m_modes = new QButtonGroup(group);
    const struct {
        const Control& c;
        const char* caption;
        int mode;
    } modes[] = {
        {ctl::BtnWP2x2, "2x2", WarpMode::Keystone},
        {ctl::BtnWP3x3, "3x3", WarpMode::Grid3x3},
        {ctl::BtnWP5x3, "5x3", WarpMode::Grid5x3},
        {ctl::BtnWP9x5, "9x5", WarpMode::Grid9x5},
        {ctl::BtnWPWall, "WALL", WarpMode::Wall},
        {ctl::BtnWP17x17, "17x17", WarpMode::Points},
    };
    int i = 0;
    for (const auto& m : modes) {
        auto* b = build::SpeedButton(
            group, m_modes, m.c, QString::fromLatin1(m.caption), QRect(6 + i * 48, 22, 46, 30), m.mode);
        if (m.mode == WarpMode::Points)
            connect(b, &QPushButton::clicked, this, &WarpAdjustPage::BtnWP17x17Click);
        else
            connect(b, &QPushButton::clicked, this, [this, mode = m.mode] { modeClicked(mode); });
        ++i;
    }
}

void WarpAdjustPage::buildArrows()
{
    using A = TBitBtnEZ::Arrow;
    auto cross = [this](QGroupBox* g, const std::array<const Control*, 4>& cs,
                     const std::array<void (WarpAdjustPage::*)(), 4>& handlers) {
        // Left, Up, Right, Down around the centre of the group.
        const A arrows[] = {A::Left, A::Up, A::Right, A::Down};
        const QPoint at[] = {{10, 58}, {52, 24}, {94, 58}, {52, 92}};
        for (int k = 0; k < 4; ++k) {
            auto* b = new TBitBtnEZ(arrows[k], g);
            b->setObjectName(cs[std::size_t(k)]->qname());
            b->setGeometry(QRect(at[k], QSize(40, 32)));
            connect(b, &QPushButton::clicked, this, handlers[std::size_t(k)]);
        }
    };
    auto* cursor = build::Group(m_left, nullptr, QStringLiteral("Cursor"), QRect(8, 80, 146, 132));
    cross(cursor, {&ctl::BtnCurLeft, &ctl::BtnCurUp, &ctl::BtnCurRight, &ctl::BtnCurDown},
        {&WarpAdjustPage::BtnCurLeftClick, &WarpAdjustPage::BtnCurUpClick, &WarpAdjustPage::BtnCurRightClick,
            &WarpAdjustPage::BtnCurDownClick});
    auto* move = build::Group(m_left, nullptr, QStringLiteral("Move"), QRect(162, 80, 146, 132));
    cross(move, {&ctl::BtnMoveLeft, &ctl::BtnMoveUp, &ctl::BtnMoveRight, &ctl::BtnMoveDown},
        {&WarpAdjustPage::BtnMoveLeftClick, &WarpAdjustPage::BtnMoveUpClick,
            &WarpAdjustPage::BtnMoveRightClick, &WarpAdjustPage::BtnMoveDownClick});

    auto* values = build::Group(m_left, nullptr, QStringLiteral("Offset"), QRect(8, 220, 300, 56));
    auto* x = new QLabel(QStringLiteral("X :"), values);
    x->setGeometry(12, 24, 24, 20);
    build::Make<QLabel>(values, ctl::WPLRVal, QStringLiteral("0"), QRect(40, 24, 60, 20));
    auto* y = new QLabel(QStringLiteral("Y :"), values);
    y->setGeometry(150, 24, 24, 20);
    build::Make<QLabel>(values, ctl::WPUDVal, QStringLiteral("0"), QRect(178, 24, 60, 20));
}

void WarpAdjustPage::buildSettings()
{
    auto* step = build::Group(this, nullptr, QStringLiteral("Move Step"), QRect(316, 8, 300, 52));
    auto* stepBar = TrackBar(step, ctl::TBAdjustStep2, 1, 64, 8, QRect(10, 20, 230, 24));
    build::Make<QLabel>(step, ctl::STAdjustValue2, QStringLiteral("8"), QRect(250, 22, 40, 20));
    connect(stepBar, &QSlider::valueChanged, this, [this](int v) { m_warp.setMoveStep(v); });

    // The right area starts at (316, 60).
    auto right = [](int x, int y, int w, int h) { return QRect(x - 316, y - 60, w, h); };
    auto* pattern = build::Group(m_right, nullptr, QStringLiteral("Test Pattern"), right(316, 64, 300, 52));
    m_pattern = new QComboBox(pattern);
    m_pattern->setObjectName(ctl::CBPatternSel1.qname());
    m_pattern->setGeometry(10, 20, 150, 24);
    m_pattern->addItems({QStringLiteral("Off"), QStringLiteral("White"), QStringLiteral("Red"),
        QStringLiteral("Green"), QStringLiteral("Blue"), QStringLiteral("Cyan"), QStringLiteral("Magenta"),
        QStringLiteral("Yellow"), QStringLiteral("Transparent")});
    // Only the user's choice sends; a selection by code (refresh, the P key) does not.
    connect(m_pattern, &QComboBox::activated, this, [this](int i) { m_warp.setPatternColour(i); });

    auto* grid = build::Group(m_right, nullptr, QStringLiteral("Grid"), right(316, 120, 300, 52));
    m_grid = TrackBar(grid, ctl::TBGrid, 8, 120, 32, QRect(10, 20, 230, 24));
    build::Make<QLabel>(grid, ctl::STGridVal, QStringLiteral("32"), QRect(250, 22, 40, 20));
    connect(m_grid, &QSlider::valueChanged, this, [this](int v) {
        // The spring-back sets the track bar again from inside the handler.
        if (m_inGridChange)
            return;
        QScopedValueRollback guard(m_inGridChange, true);
        const bool springsBack = m_warp.adjust().WarpBusy;
        Launch(m_s, m_warp.setGridSpacing(v));
        // Once the change has finished its round through the UI port: the track bar goes back
        // to the spacing the box has.
        if (springsBack)
            QMetaObject::invokeMethod(
                this,
                [this] {
                    const int shown = m_warp.adjust().GridSpacing[std::size_t(m_s.CurrentWindow & 3)];
                    if (m_grid->value() != shown)
                        m_grid->setValue(shown);
                },
                Qt::QueuedConnection);
    });

    auto* reset = build::Make<QPushButton>(
        m_right, ctl::BtnWPReset, QStringLiteral("Reset"), right(316, 178, 146, 32));
    connect(reset, &QPushButton::clicked, this, &WarpAdjustPage::BtnWPResetClick);
    auto* undo
        = build::Make<QPushButton>(m_right, ctl::BtnWPUndo, QStringLiteral("Undo"), right(470, 178, 146, 32));
    connect(undo, &QPushButton::clicked, this, &WarpAdjustPage::BtnWPUndoClick);

    // The user maps belong to the mode buttons: one of them all is down.
    auto* maps = build::Group(m_right, nullptr, QStringLiteral("User Map"), right(316, 216, 300, 56));
    auto* saves = build::Group(m_right, nullptr, QStringLiteral("Save to Box"), right(316, 276, 300, 56));
    for (int i = 0; i < 10; ++i) {
        auto* b = build::SpeedButton(maps, m_modes, ctl::BtnUserMaps[std::size_t(i)], QString::number(i + 1),
            QRect(6 + i * 29, 20, 27, 28), i);
        connect(b, &QPushButton::clicked, this, [this, i] {
            m_warp.selectUserMap(i);
            m_warp.showMode();
        });
        auto* save = build::Make<QPushButton>(
            saves, ctl::BtnSaveMaps[std::size_t(i)], QString::number(i + 1), QRect(6 + i * 29, 20, 27, 28));
        save->setProperty("Tag", i);
        connect(save, &QPushButton::clicked, this, [this, i] { Launch(m_s, m_warp.saveUserMap(i)); });
    }
    auto* load = build::Make<QPushButton>(
        m_left, ctl::BtnLoadData, QStringLiteral("Load  map data "), QRect(8, 284, 300, 32));
    load->setEnabled(false);
    connect(load, &QPushButton::clicked, this, [this] { Launch(m_s, m_warp.loadUserMap()); });
}

void WarpAdjustPage::modeClicked(int mode)
{
    Launch(m_s, m_warp.selectMode(mode));
    // A refused click must not leave its button down.
    m_warp.showMode();
}

bool WarpAdjustPage::warpBusy() const
{
    return m_warp.adjust().WarpBusy;
}

void WarpAdjustPage::BtnCurLeftClick()
{
    m_warp.moveCursor(WarpDir::Left);
}

void WarpAdjustPage::BtnCurUpClick()
{
    m_warp.moveCursor(WarpDir::Up);
}

void WarpAdjustPage::BtnCurRightClick()
{
    m_warp.moveCursor(WarpDir::Right);
}

void WarpAdjustPage::BtnCurDownClick()
{
    m_warp.moveCursor(WarpDir::Down);
}

void WarpAdjustPage::setFineStep(bool on)
{
    m_warp.setFineStep(on);
}

void WarpAdjustPage::BtnMoveLeftClick()
{
    Launch(m_s, m_warp.movePoint(WarpDir::Left));
}

void WarpAdjustPage::BtnMoveUpClick()
{
    Launch(m_s, m_warp.movePoint(WarpDir::Up));
}

void WarpAdjustPage::BtnMoveRightClick()
{
    Launch(m_s, m_warp.movePoint(WarpDir::Right));
}

void WarpAdjustPage::BtnMoveDownClick()
{
    Launch(m_s, m_warp.movePoint(WarpDir::Down));
}

int WarpAdjustPage::patternIndex() const
{
    return m_warp.adjust().PatternColourIndex[std::size_t(m_s.CurrentWindow & 3)];
}

int WarpAdjustPage::patternCount() const
{
    return m_pattern->count();
}

void WarpAdjustPage::selectPattern(int index)
{
    m_warp.adjust().PatternColourIndex[std::size_t(m_s.CurrentWindow & 3)] = index;
    m_s.ui.set(ctl::CBPatternSel1, Prop::ItemIndex, index);
}

void WarpAdjustPage::CBPatternSel1Change()
{
    m_warp.setPatternColour(patternIndex());
}

void WarpAdjustPage::BtnWP2x2Click()
{
    modeClicked(WarpMode::Keystone);
}

void WarpAdjustPage::BtnWP3x3Click()
{
    modeClicked(WarpMode::Grid3x3);
}

void WarpAdjustPage::BtnWP5x3Click()
{
    modeClicked(WarpMode::Grid5x3);
}

void WarpAdjustPage::BtnWP9x5Click()
{
    modeClicked(WarpMode::Grid9x5);
}

void WarpAdjustPage::BtnWP17x17Click()
{
    m_warp.enterPointMode();
    m_warp.showMode();
}

void WarpAdjustPage::BtnWPWallClick()
{
    modeClicked(WarpMode::Wall);
}

void WarpAdjustPage::BtnWPResetClick()
{
    Launch(m_s, m_warp.reset());
}

void WarpAdjustPage::BtnWPUndoClick()
{
    Launch(m_s, m_warp.undo());
    m_warp.showMode();
}

} // namespace trivel
