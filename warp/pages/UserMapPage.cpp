#include "warp/pages/UserMapPage.h"

#include "widgets/BitBtnEZ.h"
#include "session/Operations.h"
#include "session/Session.h"
#include "warp/Controls.h"
#include "warp/Warp.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QSlider>

namespace trivel {

UserMapPage::UserMapPage(Session& s, Warp& warp, QWidget* parent)
    : PageWidget(s, parent)
    , m_warp(warp)
{
    auto* patterns = build::Group(this, nullptr, QStringLiteral("Pattern"), QRect(8, 8, 300, 96));
    auto* group = new QButtonGroup(patterns);
    const Control* buttons[] = {&ctl::WP2x2Btn, &ctl::WP3x3Btn, &ctl::WP5x3Btn, &ctl::WP5x5Btn,
        &ctl::WP9x5Btn, &ctl::WP9x9Btn, &ctl::WP17x17Btn, &ctl::WPWallBtn};
    const char* captions[] = {"2x2", "3x3", "5x3", "5x5", "9x5", "9x9", "17x17", "WALL"};
    for (int i = 0; i < 8; ++i) {
        auto* b = build::SpeedButton(patterns, group, *buttons[i], QString::fromLatin1(captions[i]),
            QRect(8 + (i % 4) * 72, 22 + (i / 4) * 34, 68, 30), i);
        b->setChecked(i == 0);
        connect(b, &QPushButton::clicked, this, [this, i] { m_warp.selectUserMapPattern(i); });
    }

    using A = TBitBtnEZ::Arrow;
    const A arrows[] = {A::Left, A::Up, A::Right, A::Down};
    const WarpDir dirs[] = {WarpDir::Left, WarpDir::Up, WarpDir::Right, WarpDir::Down};
    const QPoint at[] = {{10, 58}, {52, 24}, {94, 58}, {52, 92}};
    auto* cursor = build::Group(this, nullptr, QStringLiteral("Cursor"), QRect(8, 112, 146, 132));
    auto* grid = build::Group(this, nullptr, QStringLiteral("Move"), QRect(162, 112, 146, 132));
    const Control* cursors[]
        = {&ctl::BtnCursorLeft, &ctl::BtnCursorUp, &ctl::BtnCursorRight, &ctl::BtnCursorDown};
    const Control* moves[] = {&ctl::BtnGridLeft, &ctl::BtnGridUp, &ctl::BtnGridRight, &ctl::BtnGridDown};
    for (int k = 0; k < 4; ++k) {
        auto* c = new TBitBtnEZ(arrows[k], cursor);
        c->setObjectName(cursors[k]->qname());
        c->setGeometry(QRect(at[k], QSize(40, 32)));
        connect(c, &QPushButton::clicked, this, [this, d = dirs[k]] { m_warp.moveUserMapCursor(d); });
        auto* g = new TBitBtnEZ(arrows[k], grid);
        g->setObjectName(moves[k]->qname());
        g->setGeometry(QRect(at[k], QSize(40, 32)));
        connect(
            g, &QPushButton::clicked, this, [this, d = dirs[k]] { Launch(m_s, m_warp.editUserMapPoint(d)); });
    }

    auto* step = build::Group(this, nullptr, QStringLiteral("Move Step"), QRect(316, 8, 300, 52));
    auto* stepBar = new QSlider(Qt::Horizontal, step);
    stepBar->setObjectName(ctl::TBAdjustStep.qname());
    stepBar->setRange(1, 64);
    stepBar->setValue(8);
    stepBar->setGeometry(10, 20, 230, 24);
    build::Make<QLabel>(step, ctl::STAdjustValue, QStringLiteral("8"), QRect(250, 22, 40, 20));
    connect(stepBar, &QSlider::valueChanged, this, [this](int v) { m_warp.setEditStep(v); });

    auto* pattern = build::Group(this, nullptr, QStringLiteral("Test Pattern"), QRect(316, 64, 300, 52));
    auto* patternList = new QComboBox(pattern);
    patternList->setObjectName(ctl::CBPatternSel.qname());
    patternList->setGeometry(10, 20, 150, 24);
    patternList->addItems({QStringLiteral("Off"), QStringLiteral("White"), QStringLiteral("Red"),
        QStringLiteral("Green"), QStringLiteral("Blue"), QStringLiteral("Cyan"), QStringLiteral("Magenta"),
        QStringLiteral("Yellow"), QStringLiteral("Transprant")});
    connect(patternList, &QComboBox::activated, this, [this](int i) { m_warp.setUserMapPatternColour(i); });

    auto* line = build::Make<QCheckBox>(
        this, ctl::CBLineMove, QStringLiteral("Line Adjust Mode"), QRect(316, 124, 200, 24));
    connect(line, &QCheckBox::toggled, this, [this](bool on) { m_warp.setLineMode(on); });
    auto* reset = build::Make<QPushButton>(
        this, ctl::BtnWarpReset, QStringLiteral("Reset"), QRect(316, 156, 146, 32));
    connect(reset, &QPushButton::clicked, this, [this] { Launch(m_s, m_warp.resetUserMap()); });
    auto* undo
        = build::Make<QPushButton>(this, ctl::BtnUndo, QStringLiteral("Undo"), QRect(470, 156, 146, 32));
    connect(undo, &QPushButton::clicked, this, [this] { Launch(m_s, m_warp.undoUserMap()); });

    s.pageHooks.show[Page::UserMap] = [this] { m_warp.showUserMapPage(); };
    connect(&s.events, &SessionEvents::refreshPages, this, [this] { m_warp.refreshUserMap(); });
}

UserMapPage::~UserMapPage()
{
    m_s.pageHooks.show[Page::UserMap] = nullptr;
}

} // namespace trivel
