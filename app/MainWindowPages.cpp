// The page control with the controls that the start-up tables name, the System page's
// box-wide buttons and the controls kept outside the visible client area.

#include "app/IpAddressEdit.h"
#include "app/MainWindow.h"
#include "link/BoxCommands.h"
#include "link/Session.h"
#include "settings/SettingsState.h"

#include <QButtonGroup>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

namespace trivel {

namespace {

template <class T>
T* Make(QWidget* parent, const QString& name, const QString& caption, const QRect& geometry)
{
    auto* w = new T(caption, parent);
    w->setObjectName(name);
    w->setGeometry(geometry);
    return w;
}

QGroupBox* Group(QWidget* parent, const QString& name, const QString& title, const QRect& geometry)
{
    auto* g = new QGroupBox(title, parent);
    if (!name.isEmpty())
        g->setObjectName(name);
    g->setGeometry(geometry);
    return g;
}

// Speed buttons of one group: checkable, one down at a time.
QPushButton* SpeedButton(QWidget* parent, QButtonGroup* group, const QString& name, const QString& caption,
    const QRect& geometry, int tag)
{
    auto* b = Make<QPushButton>(parent, name, caption, geometry);
    b->setCheckable(true);
    b->setProperty("Tag", tag);
    group->addButton(b);
    return b;
}

// Radio buttons in a 3 x 3 arrangement; the corner sets leave out the centre.
void RadioGrid(QWidget* parent, const QString& prefix, bool withCentre, const QPoint& origin)
{
    int n = 0;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) {
            if (!withCentre && row == 1 && col == 1)
                continue;
            auto* r = Make<QRadioButton>(parent, prefix + QString::number(n), QString(),
                QRect(origin.x() + col * 40, origin.y() + row * 28, 20, 20));
            r->setProperty("Tag", n);
            r->setChecked(n == 0);
            ++n;
        }
}

} // namespace

void TMainForm::buildPages()
{
    GroupBox1 = Group(this, QStringLiteral("GroupBox1"), QString(), QRect(4, 57, 650, 394));
    PCMain = new QTabWidget(GroupBox1);
    PCMain->setObjectName(QStringLiteral("PCMain"));
    PCMain->setGeometry(10, 16, 633, 371);
    PCMain->setUsesScrollButtons(true);
    // Up to eleven tabs share 633 pixels: keep them tight so all fit.
    PCMain->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 4px 4px 4px 4px; font-size: 12px; }"));
    for (int i = 0; i < kPageCount; ++i) {
        auto* page = new QWidget;
        page->setObjectName(PageName(i));
        page->setProperty("Tag", PageTag(i));
        PCMain->addTab(page, QString::fromLatin1(kPageLooks[std::size_t(i)].caption));
        pages[std::size_t(i)] = page;
    }
    buildVideoWallPage(pages[Page::VideoWall]);
    buildBlend2Page(pages[Page::Blend2]);
    buildMaskPage(pages[Page::Mask]);
    buildImagePage(pages[Page::Image]);
    buildSystemPage(pages[Page::System]);
    buildPipPage(pages[Page::Pip]);
    buildFirmwarePage(pages[Page::Firmware]);
    PCMain->setCurrentIndex(Page::WarpAdjust);
}

void TMainForm::buildVideoWallPage(QWidget* page)
{
    auto* orientation
        = Group(page, QStringLiteral("TntGroupBox2"), QStringLiteral("Orientation"), QRect(318, 8, 300, 130));
    const char* captions[] = {"Normal", "90", "270", "H mirror", "V mirror", "HV mirror"};
    for (int i = 0; i < 6; ++i) {
        auto* r = Make<QRadioButton>(orientation, QStringLiteral("RBRot%1").arg(i + 1),
            QString::fromLatin1(captions[i]), QRect(16 + (i / 3) * 140, 26 + (i % 3) * 32, 120, 22));
        r->setProperty("Tag", i);
        r->setChecked(i == 0);
    }
    auto* res = Make<QLabel>(
        page, QStringLiteral("STRes"), QStringLiteral("- - - - - - - -"), QRect(318, 150, 180, 20));
    res->setAlignment(Qt::AlignCenter);
    Make<QPushButton>(page, QStringLiteral("BtnReset"), QStringLiteral("Reset "), QRect(520, 290, 96, 30));
    connect(findChild<QPushButton*>(QStringLiteral("BtnReset")), &QPushButton::clicked, this,
        [this] { BtnResetClick(m_s); });
}

void TMainForm::buildBlend2Page(QWidget* page)
{
    auto* regions = Group(page, QString(), QStringLiteral("Offset"), QRect(8, 200, 150, 120));
    RadioGrid(regions, QStringLiteral("RBOffset"), true, QPoint(20, 24));
    auto* corners = Group(page, QString(), QStringLiteral("Corner"), QRect(166, 200, 150, 120));
    RadioGrid(corners, QStringLiteral("RBCorner"), false, QPoint(20, 24));
}

void TMainForm::buildMaskPage(QWidget* page)
{
    auto* edge = Group(page, QString(), QStringLiteral("Edge Mask"), QRect(8, 8, 150, 120));
    RadioGrid(edge, QStringLiteral("RBMask"), false, QPoint(20, 24));
}

void TMainForm::buildImagePage(QWidget* page)
{
    auto* output
        = Group(page, QStringLiteral("TntGroupBox6"), QStringLiteral("Output"), QRect(318, 4, 300, 222));
    auto* outputs = new QButtonGroup(output);
    // OPM order; Tags are set from the lookup table at start-up.
    const char* names[] = {"BtnOut1", "BtnOut2", "BtnOut3", "BtnOut4", "BtnOut5", "BtnOut6", "BtnOut7",
        "BtnOut9", "BtnOut10", "BtnOut11", "BtnOut12", "BtnOut13", "BtnOut14", "BtnOut15", "BtnOut16"};
    const char* captions[] = {"1920x1080", "1920x1200", "1280x720", "1024x768", "1280x800", "1360x768",
        "1280x1024", "1920x1080(50)", "1920*1200(30)", "1920x1080(24)", "1920x1080(30)", "2048x1080",
        "1024x768(120)", "1280*720(120)", "1280*800(120)"};
    for (int i = 0; i < 15; ++i) {
        auto* b = SpeedButton(output, outputs, QString::fromLatin1(names[i]),
            QString::fromLatin1(captions[i]), QRect(8 + (i % 3) * 96, 22 + (i / 3) * 39, 92, 34), i);
        b->setChecked(i == 0);
        connect(b, &QPushButton::clicked, this,
            [this, b] { emit outputModeButtonClicked(b->property("Tag").toInt()); });
    }
    auto* input
        = Group(page, QStringLiteral("InputFrame"), QStringLiteral("Input"), QRect(318, 232, 300, 64));
    auto* inputs = new QButtonGroup(input);
    const char* sources[] = {"HDMI 1", "HDMI 2", "DP", "VGA"};
    for (int i = 0; i < 4; ++i) {
        auto* b = SpeedButton(input, inputs, QStringLiteral("BtnSrc%1").arg(i + 1),
            QString::fromLatin1(sources[i]), QRect(8 + i * 72, 22, 68, 34), i);
        b->setChecked(i == 0);
        connect(b, &QPushButton::clicked, this, [this, i] { emit inputButtonClicked(i); });
    }
}

void TMainForm::buildSystemPage(QWidget* page)
{
    auto* load = Group(page, QString(), QStringLiteral("Load Profile"), QRect(8, 8, 300, 64));
    auto* save = Group(page, QString(), QStringLiteral("Save Profile"), QRect(8, 80, 300, 64));
    for (int i = 0; i < 5; ++i) {
        auto* l = Make<QPushButton>(load, QStringLiteral("Button%1").arg(5 + i), QString::number(i + 1),
            QRect(10 + i * 57, 24, 51, 30));
        l->setProperty("Tag", i);
        connect(l, &QPushButton::clicked, this, [this, i] { BtnPFL(m_s, i); });
        auto* x = Make<QPushButton>(save, QStringLiteral("Button%1").arg(10 + i), QString::number(i + 1),
            QRect(10 + i * 57, 24, 51, 30));
        x->setProperty("Tag", i);
        connect(x, &QPushButton::clicked, this, [this, i] { BtnPFX(m_s, i); });
    }

    auto* allReset = Make<QPushButton>(
        page, QStringLiteral("BtnAllReset"), QStringLiteral("All Reset"), QRect(8, 160, 146, 32));
    connect(allReset, &QPushButton::clicked, this, [this] { BtnAllResetClick(m_s); });
    auto* reboot = Make<QPushButton>(
        page, QStringLiteral("BtnReboot"), QStringLiteral("Reboot"), QRect(162, 160, 146, 32));
    connect(reboot, &QPushButton::clicked, this, [this] { BtnRebootClick(m_s); });
    auto* factory = Make<QPushButton>(
        page, QStringLiteral("FRstBtn"), QStringLiteral("Do Factory Reset"), QRect(8, 200, 300, 32));
    connect(factory, &QPushButton::clicked, this, [this] { FRstBtnClick(m_s); });

    auto* net
        = Group(page, QStringLiteral("GBNet"), QStringLiteral("Ethernet Config"), QRect(316, 8, 302, 224));
    auto* dhcp
        = Make<QRadioButton>(net, QStringLiteral("RBDHCP"), QStringLiteral("DHCP"), QRect(16, 26, 80, 20));
    dhcp->setChecked(true);
    Make<QRadioButton>(
        net, QStringLiteral("RBSTATICIP"), QStringLiteral("Static IP"), QRect(120, 26, 100, 20));
    // The address edits sit 4 px right of and 4 px above their labels.
    const char* labels[][2] = {{"LBIP", "IP : "}, {"LBMask", "SubNet Mask"}, {"LBGateway", "GateWay : "}};
    const char* texts[] = {"192.168.0.100", "255.255.255.0", "192.168.0.1"};
    for (int i = 0; i < 3; ++i) {
        auto* l = Make<QLabel>(net, QString::fromLatin1(labels[i][0]), QString::fromLatin1(labels[i][1]),
            QRect(16, 66 + i * 36, 90, 20));
        auto* e = new IpAddressEdit(net);
        e->setObjectName(QString::fromLatin1(kNetworkEdits[std::size_t(i)]));
        e->setGeometry(l->x() + l->width() + 4, l->y() - 4, 180, 24);
        e->setText(QString::fromLatin1(texts[i]));
    }
    Make<QPushButton>(net, QStringLiteral("Button15"), QStringLiteral("Update"), QRect(194, 180, 96, 30));
}

void TMainForm::buildPipPage(QWidget* page)
{
    auto* res = Make<QLabel>(
        page, QStringLiteral("STPIPRes"), QStringLiteral("- - - - - - - -"), QRect(318, 300, 180, 20));
    res->setAlignment(Qt::AlignCenter);
}

void TMainForm::buildFirmwarePage(QWidget* page)
{
    Make<QLabel>(page, QStringLiteral("MCUVersion"), QString(), QRect(16, 300, 200, 20));
}

void TMainForm::buildHiddenArea()
{
    // Everything below lies outside the 794 x 455 client area: never seen unless moved in.
    UpdateStep = new QFrame(this);
    UpdateStep->setObjectName(QStringLiteral("UpdateStep"));
    UpdateStep->setGeometry(87, 680, 620, 116);
    static_cast<QFrame*>(UpdateStep)->setFrameStyle(QFrame::Panel | QFrame::Raised);
    UpdateStep->setAutoFillBackground(true);
    auto* text = new QLabel(QStringLiteral("Upload Data......."), UpdateStep);
    text->setGeometry(24, 20, 400, 24);
    ProgressBar2 = new QProgressBar(UpdateStep);
    ProgressBar2->setObjectName(QStringLiteral("ProgressBar2"));
    ProgressBar2->setGeometry(24, 56, 572, 30);
    ProgressBar2->setRange(0, 100);
    ProgressBar2->setValue(0);
    UpdateStep->raise();

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(4, 470, 640, 160);
    Memo1->setReadOnly(true);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont mono(QStringList{QStringLiteral("Source Code Pro"), QStringLiteral("DejaVu Sans Mono")});
    mono.setStyleHint(QFont::Monospace);
    mono.setPixelSize(11);
    Memo1->setFont(mono);

    for (int i = 5; i <= 8; ++i) {
        const int top = 470 + (i - 5) * 31;
        auto* b = Make<QPushButton>(
            this, QStringLiteral("BtnWin%1").arg(i), QString::number(i), QRect(660, top, 56, 28));
        b->setCheckable(true);
        b->setProperty("Tag", i - 1);
        b->setEnabled(false);
        for (int k = 0; k < 2; ++k) {
            auto* lamp = new QLabel(this);
            lamp->setObjectName(QStringLiteral("%1%2").arg(k == 0 ? "PnlOpt" : "PnlIpt").arg(i));
            lamp->setGeometry(724, top + 1 + k * 14, 52, 12);
            lamp->setFrameShape(QFrame::Panel);
        }
    }
}

} // namespace trivel
