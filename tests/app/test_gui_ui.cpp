#include "AppFixture.h"

#include "app/ControlTables.h"
#include "widgets/IpAddressEdit.h"
#include "box/StatusPoll.h"
#include "settings/SettingsState.h"
#include "support/Controls.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace trivel;
using namespace trivel::test;

TEST(GuiUi, MirrorChangesReachTheNamedWidget)
{
    AppFixture f;
    struct Case {
        Control control;
        Prop prop;
        QVariant value;
        std::function<bool(QWidget*)> shows;
    };
    const Case cases[] = {
        {ctl::BtnCnt2, Prop::Caption, QStringLiteral("Connecting"),
            [](QWidget* w) { return static_cast<QPushButton*>(w)->text() == "Connecting"; }},
        {ctl::BtnWins[2], Prop::Enabled, true, [](QWidget* w) { return w->isEnabled(); }},
        {ctl::FRstBtn, Prop::Enabled, false, [](QWidget* w) { return !w->isEnabled(); }},
        {ctl::UpdateStep, Prop::Top, 180, [](QWidget* w) { return w->y() == 180 && w->x() == 87; }},
        {ctl::BtnFrame, Prop::Height, 149,
            [](QWidget* w) { return w->height() == 149 && w->width() == 133; }},
        {ctl::ProgressBar2, Prop::Position, 40,
            [](QWidget* w) { return static_cast<QProgressBar*>(w)->value() == 40; }},
        {ctl::ProgressBar2, Prop::Maximum, 60,
            [](QWidget* w) { return static_cast<QProgressBar*>(w)->maximum() == 60; }},
        {ctl::PnlIpts[0], Prop::Color, kColourInput,
            [](QWidget* w) {
                return w->autoFillBackground() && w->palette().color(QPalette::Window) == QColor(248, 138, 5);
            }},
        {ctl::STRes, Prop::Caption, QStringLiteral("1920 * 1080"),
            [](QWidget* w) { return static_cast<QLabel*>(w)->text() == "1920 * 1080"; }},
        {ctl::GBNet, Prop::Caption, QStringLiteral("Net"),
            [](QWidget* w) { return static_cast<QGroupBox*>(w)->title() == "Net"; }},
        {ctl::RBRots[3], Prop::Checked, true,
            [](QWidget* w) { return static_cast<QRadioButton*>(w)->isChecked(); }},
        {ctl::Memo1, Prop::Visible, false, [](QWidget* w) { return w->isHidden(); }},
    };
    for (const Case& c : cases) {
        f.ui.set(c.control, c.prop, c.value);
        QWidget* w = f.find(c.control.name);
        ASSERT_NE(w, nullptr) << c.control.name;
        EXPECT_TRUE(c.shows(w)) << c.control.name << " prop " << int(c.prop);
    }
}

TEST(GuiUi, PagesShowAndHideTheirTabs)
{
    AppFixture f;
    QTabWidget* pc = f.form.PCMain;
    f.ui.setEnabled(ctl::TabPIP, true);
    f.ui.setVisible(ctl::TabPIP, true);
    EXPECT_TRUE(pc->isTabVisible(Page::Pip));
    EXPECT_TRUE(pc->widget(Page::Pip)->isEnabled());

    // Hiding the active page moves the tab control on; the mirror follows, and no page-show
    // request goes out for a page the user did not pick.
    FakeBoxTransport& box = f.connectFakeBox();
    f.ui.setVisible(kPages[Page::WarpAdjust].control, false);
    EXPECT_FALSE(pc->isTabVisible(Page::WarpAdjust));
    EXPECT_EQ(f.ui.activePage(), pc->currentIndex());
    EXPECT_TRUE(box.sentCodes.empty());
}

TEST(GuiUi, UserChangesReachTheMirror)
{
    AppFixture f;
    f.form.show();
    auto* win2 = f.find<QPushButton>("BtnWin2");
    QSignalSpy clicked(&f.form, &TMainForm::windowButtonClicked);
    QTest::mouseClick(win2, Qt::LeftButton);
    EXPECT_TRUE(f.ui.isChecked(ctl::BtnWins[1]));
    EXPECT_FALSE(f.ui.isChecked(ctl::BtnWins[0]));
    ASSERT_EQ(clicked.count(), 1);
    EXPECT_EQ(clicked.at(0).at(0).toInt(), 1);

    f.form.PCMain->setCurrentIndex(Page::System);
    EXPECT_EQ(f.ui.activePage(), Page::System);
    QTest::mouseClick(f.find<QRadioButton>("RBSTATICIP"), Qt::LeftButton);
    EXPECT_TRUE(f.ui.isChecked(ctl::RBSTATICIP));
    EXPECT_FALSE(f.ui.isChecked(ctl::RBDHCP));
}

TEST(GuiUi, ExclusiveButtonsCanBeClearedFromTheMirror)
{
    AppFixture f;
    // USB is selected exactly when "IP Address" is not checked: the core may clear both.
    f.ui.setChecked(ctl::RBUSB, false);
    EXPECT_FALSE(f.form.RBUSB->isChecked());
    EXPECT_FALSE(f.form.RBTCP->isChecked());
    f.ui.setChecked(ctl::BtnWins[0], false);
    EXPECT_FALSE(f.find<QPushButton>("BtnWin1")->isChecked());
    // Checking one button of a group unchecks the others in the mirror too.
    f.ui.setChecked(kOutputModes[2].button, true);
    EXPECT_FALSE(f.ui.isChecked(kOutputModes[0].button));
    EXPECT_TRUE(f.find<QPushButton>("BtnOut3")->isChecked());
}

TEST(GuiUi, MirrorValuesSetBeforeAControlExistsApplyWhenItIsAdopted)
{
    GuiUi ui;
    ui.setCaption(ctl::STRes, QStringLiteral("from the core"));
    ui.setEnabled(ctl::STRes, false);
    QWidget root;
    auto* label = new QLabel(QStringLiteral("design"), &root);
    label->setObjectName(ctl::STRes.qname());
    // A control nobody set stays out of the mirror: it holds what the core said, not the design.
    auto* other = new QLabel(QStringLiteral("design"), &root);
    other->setObjectName(ctl::STPIPRes.qname());
    // A widget that no owner declared is never addressed.
    auto* layout = new QLabel(QStringLiteral("design"), &root);
    layout->setObjectName(QStringLiteral("LayoutOnly"));
    ui.adopt(&root);
    EXPECT_EQ(label->text(), "from the core");
    EXPECT_FALSE(label->isEnabled());
    EXPECT_FALSE(ui.has(ctl::STPIPRes, Prop::Caption));
    EXPECT_EQ(ui.widget(QStringLiteral("LayoutOnly")), nullptr);
    // From now on the user's changes reach the mirror, the core's reach the widget.
    ui.setCaption(ctl::STPIPRes, QStringLiteral("1920 * 1080"));
    EXPECT_EQ(other->text(), "1920 * 1080");
}

TEST(GuiUi, AWindowButtonClickedByCodeRunsTheHandlerEvenWhenDisabled)
{
    AppFixture f;
    QSignalSpy clicked(&f.form, &TMainForm::windowButtonClicked);
    auto* win1 = f.find<QPushButton>("BtnWin1");
    f.ui.setChecked(ctl::BtnWins[1], true);
    f.ui.setEnabled(ctl::BtnWins[0], false);
    ClickWindowButton(f.s, 0);
    EXPECT_TRUE(win1->isChecked());
    EXPECT_FALSE(f.find<QPushButton>("BtnWin2")->isChecked());
    ASSERT_EQ(clicked.count(), 1);
    EXPECT_EQ(clicked.at(0).at(0).toInt(), 0);
    // Only the four windows the tool has can be clicked.
    ClickWindowButton(f.s, 4);
    EXPECT_EQ(clicked.count(), 1);
}

TEST(GuiUi, AddressEditsShowTheFourParts)
{
    AppFixture f;
    // The network record's text format ends each octet with a dot.
    f.ui.setCaption(ctl::NetworkEdits[0], QStringLiteral("10.1.2.3."));
    EXPECT_EQ(f.find<QLineEdit>(ctl::NetworkEdits[0].name)->text(), "10.1.2.3");
    EXPECT_EQ(f.ui.caption(ctl::NetworkEdits[0]), "10.1.2.3");
    EXPECT_EQ(IpAddressEdit::NormalizedAddress(QStringLiteral("1.2.3.4.5")), "1.2.3.4");
    EXPECT_EQ(IpAddressEdit::NormalizedAddress(QStringLiteral(" 192.168.0.1 ")), "192.168.0.1");
}

// The box is answered from a zero timer, as a user would once it is up.
TEST(GuiUi, MessagesAnswerWithTheButtonPressed)
{
    const struct {
        MsgButtons buttons;
        QMessageBox::StandardButton press;
        MsgResult result;
    } cases[] = {
        {MsgButtons::Ok, QMessageBox::Ok, MsgResult::Ok},
        {MsgButtons::YesNo, QMessageBox::Yes, MsgResult::Yes},
        {MsgButtons::YesNo, QMessageBox::No, MsgResult::No},
        {MsgButtons::OkCancel, QMessageBox::Ok, MsgResult::Ok},
        {MsgButtons::OkCancel, QMessageBox::Cancel, MsgResult::Cancel},
    };
    for (const auto& c : cases) {
        AppFixture f;
        f.form.show();
        // Behind the wait window the main window is disabled; the box still takes the answer.
        f.ui.openWaitWindow(100);
        bool enabled = false;
        QString title, text;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            enabled = box->isEnabled();
            title = box->windowTitle();
            text = box->text();
            box->button(c.press)->click();
        });
        const MsgResult r = f.ui.message(MsgIcon::Question, QStringLiteral("Load Profile"),
            QStringLiteral("Do you want to load profile ?"), c.buttons);
        EXPECT_EQ(r, c.result);
        EXPECT_TRUE(enabled);
        EXPECT_EQ(title, "Load Profile");
        EXPECT_EQ(text, "Do you want to load profile ?");
        f.ui.closeWaitWindow();
    }
}
