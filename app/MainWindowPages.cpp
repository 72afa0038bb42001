// The page control with its pages (each its owner's class) and the controls kept outside the
// visible client area.

#include "app/MainWindow.h"
#include "app/PageFactory.h"
#include "box/Box.h"
#include "app/ProgressPanel.h"
#include "session/Controls.h"
#include "session/PageTable.h"

#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>

namespace trivel {

void TMainForm::buildPages()
{
    GroupBox1 = build::Group(this, &ctl::GroupBox1, QString(), QRect(4, 57, 650, 394));
    PCMain = new QTabWidget(GroupBox1);
    PCMain->setObjectName(ctl::PCMain.qname());
    PCMain->setGeometry(10, 16, 633, 371);
    // Up to eleven tabs share 633 pixels: keep them tight so all fit without scrolling. Qt's
    // scroll arrows lose track of tabs beside hidden ones, leaving later pages unreachable.
    PCMain->setUsesScrollButtons(true);
    PCMain->setElideMode(Qt::ElideNone);
    PCMain->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 4px 2px 4px 2px; font-size: 12px; }"));
    for (const PageInfo& info : kPages) {
        PageWidget* page = CreatePage(info.index, m_box, nullptr);
        PCMain->addTab(page, QString::fromLatin1(info.caption));
        pages[std::size_t(info.index)] = page;
    }
    PCMain->setCurrentIndex(Page::WarpAdjust);
}

void TMainForm::buildHiddenArea()
{
    // Everything below lies outside the 794 x 455 client area: never seen unless moved in.
    UpdateStep = new ProgressPanel(m_s, this);
    UpdateStep->setGeometry(87, 680, 620, 116);
    ProgressBar2 = UpdateStep->ProgressBar2;
    UpdateStep->raise();
    connect(UpdateStep, &ProgressPanel::upChanged, this, &TMainForm::holdForLongOperation);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(ctl::Memo1.qname());
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
        auto* b = build::Make<QPushButton>(
            this, ctl::BtnWins[std::size_t(i - 1)], QString::number(i), QRect(660, top, 56, 28));
        b->setCheckable(true);
        b->setProperty("Tag", i - 1);
        b->setEnabled(false);
        for (int k = 0; k < 2; ++k) {
            auto* lamp = new QLabel(this);
            lamp->setObjectName((k == 0 ? ctl::PnlOpts : ctl::PnlIpts)[std::size_t(i - 1)].qname());
            lamp->setGeometry(724, top + 1 + k * 14, 52, 12);
            lamp->setFrameShape(QFrame::Panel);
        }
    }
}

} // namespace trivel
