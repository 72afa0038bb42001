// Every control the core addresses is declared once by its owner; the declarations and the
// widgets of the windows must agree, so a misspelt name fails here instead of doing nothing.

#include "AppFixture.h"

#include "widgets/IpAddressEdit.h"
#include "session/PageTable.h"
#include "settings/Controls.h"
#include "warp/Controls.h"
#include "support/Controls.h"
#include "support/RecordingUi.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollBar>
#include <QSet>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>

#include <gtest/gtest.h>

#include <cstring>

using namespace trivel;
using namespace trivel::test;

namespace {

bool IsPageOf(const QWidget* w, const QTabWidget* tabs)
{
    return tabs && tabs->indexOf(const_cast<QWidget*>(w)) >= 0;
}

// Whether a widget is of the kind its declaration says.
bool OfKind(const QWidget* w, Kind kind, const QTabWidget* pcMain)
{
    const auto* button = qobject_cast<const QAbstractButton*>(w);
    switch (kind) {
    case Kind::Form:
        return w->isWindow();
    case Kind::Tabs:
        return qobject_cast<const QTabWidget*>(w);
    case Kind::Page:
        return IsPageOf(w, pcMain);
    case Kind::Group:
    case Kind::RadioGroup:
        return qobject_cast<const QGroupBox*>(w);
    case Kind::Button:
        return button && !qobject_cast<const QRadioButton*>(w) && !qobject_cast<const QCheckBox*>(w)
            && !button->isCheckable();
    case Kind::SpeedButton:
        return button && !qobject_cast<const QRadioButton*>(w) && button->isCheckable();
    case Kind::RadioButton:
        return qobject_cast<const QRadioButton*>(w);
    case Kind::CheckBox:
        return qobject_cast<const QCheckBox*>(w);
    case Kind::ComboBox:
        return qobject_cast<const QComboBox*>(w);
    case Kind::ScrollBar:
        return qobject_cast<const QScrollBar*>(w);
    case Kind::TrackBar:
        return qobject_cast<const QSlider*>(w);
    case Kind::ProgressBar:
        return qobject_cast<const QProgressBar*>(w);
    case Kind::Label:
    case Kind::Image:
        return qobject_cast<const QLabel*>(w);
    case Kind::Panel:
        return qobject_cast<const QFrame*>(w);
    case Kind::Edit:
        return qobject_cast<const QLineEdit*>(w);
    case Kind::AddressEdit:
        return qobject_cast<const IpAddressEdit*>(w);
    case Kind::Memo:
        return qobject_cast<const QPlainTextEdit*>(w);
    case Kind::Grid:
        return qobject_cast<const QTableWidget*>(w);
    }
    return false;
}

// Named widgets of a window, the window itself included; Qt's own parts are left out.
QList<QWidget*> NamedWidgets(QWidget* root)
{
    QList<QWidget*> all = root->findChildren<QWidget*>();
    all.prepend(root);
    QList<QWidget*> named;
    for (QWidget* w : all) {
        const bool qtOwn = w->objectName().startsWith(QLatin1String("qt_"))
            || qobject_cast<const QTabBar*>(w->parentWidget()); // the tab bar's scroll arrows
        if (!w->objectName().isEmpty() && !qtOwn)
            named.append(w);
    }
    return named;
}

} // namespace

TEST(Controls, EveryDeclaredControlIsAWidgetOfItsKind)
{
    AppFixture f;
    const QList<QWidget*> widgets = NamedWidgets(&f.form) + NamedWidgets(&f.wait);
    for (const Control& c : DeclaredControls()) {
        SCOPED_TRACE(c.name);
        QList<QWidget*> matches;
        for (QWidget* w : widgets)
            if (w->objectName() == c.qname())
                matches.append(w);
        ASSERT_EQ(matches.size(), 1) << "declared, but no single widget of that name";
        EXPECT_TRUE(OfKind(matches.front(), c.kind, f.form.PCMain))
            << matches.front()->metaObject()->className();
    }
}

TEST(Controls, EveryNamedWidgetIsDeclared)
{
    AppFixture f;
    for (QWidget* root : {static_cast<QWidget*>(&f.form), static_cast<QWidget*>(&f.wait)})
        for (QWidget* w : NamedWidgets(root))
            EXPECT_NE(FindControl(w->objectName()), nullptr)
                << qPrintable(w->objectName()) << " (" << w->metaObject()->className() << ") is not declared";
}

TEST(Controls, DeclarationsAreUniqueAndPagesFollowTheTable)
{
    QSet<QString> seen;
    for (const Control& c : DeclaredControls()) {
        EXPECT_FALSE(seen.contains(c.qname())) << c.name << " declared twice";
        seen.insert(c.qname());
        EXPECT_EQ(FindControl(c.qname()), &c) << c.name;
    }
    EXPECT_EQ(FindControl(u"NoSuchControl"), nullptr);
    for (int i = 0; i < kPageCount; ++i) {
        EXPECT_EQ(kPages[std::size_t(i)].index, i);
        EXPECT_EQ(kPages[std::size_t(i)].control.kind, Kind::Page);
    }
}

// The mirror goes by a control's name, wherever that name is stored: a buffer that held one
// name and now holds another reaches the other control, not the first one's properties.
TEST(Controls, TheMirrorGoesByTheNameNotByWhereItIsStored)
{
    RecordingUi ui;
    char name[32] = "STRes";
    ui.setCaption(Control{name, Kind::Label}, QStringLiteral("resolution"));
    EXPECT_EQ(ui.caption(ctl::STRes), "resolution");
    std::strcpy(name, "STGridVal");
    EXPECT_FALSE(ui.has(Control{name, Kind::Label}, Prop::Caption));
    ui.setCaption(Control{name, Kind::Label}, QStringLiteral("grid"));
    EXPECT_EQ(ui.caption(ctl::STGridVal), "grid");
    EXPECT_EQ(ui.caption(ctl::STRes), "resolution");
    std::strcpy(name, "NoSuchLabel");
    EXPECT_EQ(ui.caption(Control{name, Kind::Label}), QString());
    EXPECT_EQ(ui.mirrorSize(), 2);
}

#ifdef NDEBUG
TEST(Controls, AnUndeclaredControlIsRefusedAndLogged)
{
    AppFixture f;
    const int before = f.ui.mirrorSize();
    f.ui.setCaption(Control{"STRess", Kind::Label}, QStringLiteral("typo"));
    // A declared name with the wrong kind is refused too.
    f.ui.setCaption(Control{"STRes", Kind::Button}, QStringLiteral("wrong kind"));
    EXPECT_EQ(f.ui.mirrorSize(), before);
    auto* label = f.form.findChild<QLabel*>(ctl::STRes.qname());
    ASSERT_NE(label, nullptr);
    EXPECT_NE(label->text(), "wrong kind");
}
#endif
