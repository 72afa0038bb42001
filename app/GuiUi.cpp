#include "app/GuiUi.h"

#include "widgets/IpAddressEdit.h"
#include "app/WaitWindow.h"
#include "link/Clock.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>

namespace trivel {

namespace {

// The tab widget whose page w is, with the page's index.
QTabWidget* PageOwner(const QWidget* w, int* index)
{
    const QWidget* stack = w->parentWidget();
    auto* tabs = stack ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
    if (!tabs)
        return nullptr;
    const int i = tabs->indexOf(const_cast<QWidget*>(w));
    if (i < 0)
        return nullptr;
    *index = i;
    return tabs;
}

QList<QRadioButton*> GroupItems(QWidget* w)
{
    return w->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly);
}

// An exclusive button refuses to be unchecked by code; the mirror may still ask for it.
void SetChecked(QAbstractButton* b, bool on)
{
    if (on || !b->isChecked()) {
        b->setChecked(on);
        return;
    }
    QButtonGroup* g = b->group();
    const bool groupExclusive = g && g->exclusive();
    const bool autoExclusive = b->autoExclusive();
    if (groupExclusive)
        g->setExclusive(false);
    b->setAutoExclusive(false);
    b->setChecked(false);
    b->setAutoExclusive(autoExclusive);
    if (groupExclusive)
        g->setExclusive(true);
}

bool IsName(const QString& n)
{
    return !n.isEmpty() && !n.startsWith(QLatin1String("qt_"));
}

} // namespace

GuiUi::GuiUi() = default;
GuiUi::~GuiUi() = default;

void GuiUi::setWaitWindow(TForm1* w)
{
    m_wait = w;
    if (!w)
        return;
    QObject::connect(w, &TForm1::progressStepped, w, [this](int pos) {
        if (waitProgress() != pos)
            setWaitProgress(pos);
    });
}

QWidget* GuiUi::widget(const QString& name) const
{
    if (!FindControl(name))
        return nullptr;
    auto it = m_widgets.constFind(name);
    if (it != m_widgets.cend() && *it)
        return *it;
    for (const QPointer<QWidget>& r : m_roots) {
        if (!r)
            continue;
        QWidget* w = r->objectName() == name ? r.data() : r->findChild<QWidget*>(name);
        if (w) {
            m_widgets.insert(name, w);
            return w;
        }
    }
    return nullptr;
}

void GuiUi::hold(QWidget* w, bool on)
{
    if (!w || on == m_held.contains(w))
        return;
    if (on) {
        const auto gone = QObject::connect(w, &QObject::destroyed, w, [this, w] { m_held.remove(w); });
        m_held.insert(w, {!w->testAttribute(Qt::WA_ForceDisabled), gone});
        w->setEnabled(false);
    } else {
        const Held h = m_held.take(w);
        QObject::disconnect(h.gone);
        w->setEnabled(h.enabled);
    }
}

QTabWidget* GuiUi::pages() const
{
    return qobject_cast<QTabWidget*>(widget(QStringLiteral("PCMain")));
}

void GuiUi::adopt(QWidget* root)
{
    if (!m_roots.contains(root))
        m_roots.append(root);
    QList<QWidget*> all = root->findChildren<QWidget*>();
    all.prepend(root);
    for (QWidget* w : all) {
        if (!IsName(w->objectName()))
            continue;
        const Control* c = FindControl(w->objectName());
        if (!c)
            continue; // layout only: never addressed
        m_widgets.insert(w->objectName(), w);
        if (m_tracked.contains(w))
            continue;
        applyMirror(w, *c);
        track(w);
        m_tracked.insert(w);
        QObject::connect(w, &QObject::destroyed, w, [this, w] { m_tracked.remove(w); });
    }
}

void GuiUi::applyMirror(QWidget* w, const Control& c)
{
    // What the core set before the widget existed.
    for (int p = int(Prop::Enabled); p <= int(Prop::ItemIndex); ++p) {
        if (!has(c, Prop(p)))
            continue;
        ++m_applying;
        apply(w, Prop(p), get(c, Prop(p)));
        --m_applying;
    }
}

void GuiUi::track(QWidget* w)
{
    if (auto* b = qobject_cast<QAbstractButton*>(w); b && b->isCheckable())
        QObject::connect(b, &QAbstractButton::toggled, b, [this, b](bool on) { push(b, Prop::Checked, on); });
    if (auto* e = qobject_cast<QLineEdit*>(w))
        QObject::connect(
            e, &QLineEdit::textChanged, e, [this, e](const QString& t) { push(e, Prop::Caption, t); });
    if (auto* c = qobject_cast<QComboBox*>(w))
        QObject::connect(
            c, &QComboBox::currentIndexChanged, c, [this, c](int i) { push(c, Prop::ItemIndex, i); });
    if (auto* s = qobject_cast<QAbstractSlider*>(w))
        QObject::connect(
            s, &QAbstractSlider::valueChanged, s, [this, s](int v) { push(s, Prop::Position, v); });
    if (auto* t = qobject_cast<QTabWidget*>(w); t && t->objectName() == QLatin1String("PCMain"))
        QObject::connect(t, &QTabWidget::currentChanged, t, [this](int i) {
            if (i >= 0 && i != activePage())
                setActivePage(i);
        });
    if (auto* g = qobject_cast<QGroupBox*>(w)) {
        const auto items = GroupItems(g);
        for (int i = 0; i < items.size(); ++i)
            QObject::connect(items[i], &QAbstractButton::toggled, g, [this, g, i](bool on) {
                if (on)
                    push(g, Prop::ItemIndex, i);
            });
    }
}

void GuiUi::push(QWidget* w, Prop p, const QVariant& v)
{
    const Control* c = FindControl(w->objectName());
    if (!c)
        return;
    // Into the mirror only: the widget already shows it.
    const bool was = m_pushing;
    m_pushing = true;
    set(*c, p, v);
    m_pushing = was;
}

void GuiUi::controlChanged(const Control& control, Prop p, const QVariant& v)
{
    if (m_pushing)
        return;
    QWidget* w = widget(control.qname());
    if (!w)
        return; // not built yet: adopt() applies the mirror when it is
    ++m_applying;
    apply(w, p, v);
    --m_applying;
}

namespace {

// The text a caption names: a page's tab, a button, label, group, edit or a window's title.
void SetCaption(QWidget* w, QTabWidget* owner, int page, const QString& t)
{
    if (owner)
        owner->setTabText(page, t);
    else if (auto* b = qobject_cast<QAbstractButton*>(w))
        b->setText(t);
    else if (auto* l = qobject_cast<QLabel*>(w))
        l->setText(t);
    else if (auto* g = qobject_cast<QGroupBox*>(w))
        g->setTitle(t);
    else if (auto* ip = qobject_cast<IpAddressEdit*>(w))
        ip->setAddressText(t);
    else if (auto* e = qobject_cast<QLineEdit*>(w)) {
        if (e->text() != t)
            e->setText(t);
    } else if (auto* m = qobject_cast<QPlainTextEdit*>(w))
        m->setPlainText(t);
    else if (w->isWindow())
        w->setWindowTitle(t);
}

// Position or maximum of a progress bar, slider or spin box; a minimum only ever goes to a
// progress bar.
void SetRangeValue(QWidget* w, Prop p, int v)
{
    if (auto* pb = qobject_cast<QProgressBar*>(w)) {
        if (p == Prop::Position)
            pb->setValue(v);
        else if (p == Prop::Maximum)
            pb->setMaximum(v);
        else
            pb->setMinimum(v);
    } else if (auto* s = qobject_cast<QAbstractSlider*>(w)) {
        if (p == Prop::Position)
            s->setValue(v);
        else if (p == Prop::Maximum)
            s->setMaximum(v);
    } else if (auto* sb = qobject_cast<QSpinBox*>(w)) {
        if (p == Prop::Position)
            sb->setValue(v);
        else if (p == Prop::Maximum)
            sb->setMaximum(v);
    }
}

} // namespace

void GuiUi::apply(QWidget* w, Prop p, const QVariant& v)
{
    int page = -1;
    QTabWidget* owner = PageOwner(w, &page);
    switch (p) {
    case Prop::Enabled:
        if (auto held = m_held.find(w); held != m_held.end())
            held->enabled = v.toBool();
        else
            w->setEnabled(v.toBool());
        break;
    case Prop::Visible:
        if (owner)
            owner->setTabVisible(page, v.toBool());
        else
            w->setVisible(v.toBool());
        break;
    case Prop::Caption:
        SetCaption(w, owner, page, v.toString());
        break;
    case Prop::Checked:
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            SetChecked(b, v.toBool());
        break;
    case Prop::Top:
        w->move(w->x(), v.toInt());
        break;
    case Prop::Height:
        w->resize(w->width(), v.toInt());
        break;
    case Prop::Position:
    case Prop::Maximum:
    case Prop::Minimum:
        SetRangeValue(w, p, v.toInt());
        break;
    case Prop::Color: {
        QPalette pal = w->palette();
        pal.setColor(QPalette::Window, QColor::fromRgb(QRgb(v.toUInt() & 0xFFFFFFu)));
        // A progress bar paints its chunk in the highlight colour.
        if (qobject_cast<QProgressBar*>(w))
            pal.setColor(QPalette::Highlight, QColor::fromRgb(QRgb(v.toUInt() & 0xFFFFFFu)));
        w->setPalette(pal);
        w->setAutoFillBackground(true);
        break;
    }
    case Prop::ItemIndex: {
        const int i = v.toInt();
        if (auto* c = qobject_cast<QComboBox*>(w))
            c->setCurrentIndex(i);
        else if (auto* l = qobject_cast<QListWidget*>(w))
            l->setCurrentRow(i);
        else {
            const auto items = GroupItems(w);
            if (i >= 0 && i < items.size())
                items[i]->setChecked(true);
            else
                for (QRadioButton* r : items)
                    SetChecked(r, false);
        }
        break;
    }
    }
}

void GuiUi::activePageChanged(int index)
{
    QTabWidget* t = pages();
    if (!t || t->currentIndex() == index)
        return;
    ++m_applying;
    t->setCurrentIndex(index);
    --m_applying;
}

void GuiUi::waitWindowChanged()
{
    if (!m_wait)
        return;
    if (waitWindowOpen()) {
        if (!m_waitShown || m_waitShownMax != waitMaximum()) {
            m_wait->OpenWaitWindow(m_main, waitMaximum());
            m_waitShown = true;
            m_waitShownMax = waitMaximum();
        }
        m_wait->PBLink->setValue(waitProgress());
        return;
    }
    m_wait->PBLink->setValue(waitProgress());
    // Closing a window that is not shown still restores the cursor and the main window.
    m_wait->CloseWaitWindow(m_main);
    m_waitShown = false;
    m_waitShownMax = -1;
}

void GuiUi::enableWaitTimer(bool on)
{
    if (m_wait)
        m_wait->Timer1->setEnabled(on);
}

void GuiUi::hourglassChanged(bool on)
{
    TForm1::setHourglass(on);
}

void GuiUi::memoAppended(const QString& line)
{
    if (auto* m = qobject_cast<QPlainTextEdit*>(widget(QStringLiteral("Memo1"))))
        m->appendPlainText(line);
}

MsgResult GuiUi::message(MsgIcon icon, const QString& caption, const QString& text, MsgButtons buttons)
{
    QMessageBox::Icon i = QMessageBox::NoIcon;
    switch (icon) {
    case MsgIcon::None:
        break;
    case MsgIcon::Information:
        i = QMessageBox::Information;
        break;
    case MsgIcon::Warning:
        i = QMessageBox::Warning;
        break;
    case MsgIcon::Error:
        i = QMessageBox::Critical;
        break;
    case MsgIcon::Question:
        i = QMessageBox::Question;
        break;
    }
    QMessageBox::StandardButtons b = QMessageBox::Ok;
    switch (buttons) {
    case MsgButtons::Ok:
        break;
    case MsgButtons::YesNo:
        b = QMessageBox::Yes | QMessageBox::No;
        break;
    case MsgButtons::OkCancel:
        b = QMessageBox::Ok | QMessageBox::Cancel;
        break;
    }
    // Parented to the window in front, so the box never hides behind the wait window.
    QWidget* parent = nullptr;
    if (m_wait && m_wait->isVisible())
        parent = m_wait;
    else if (m_main && m_main->isVisible() && m_main->isEnabled())
        parent = m_main;
    QMessageBox box(i, caption, text, b, parent);
    // An empty caption stays empty instead of the application name.
    box.setWindowTitle(caption.isEmpty() ? QStringLiteral(" ") : caption);
    switch (box.exec()) {
    case QMessageBox::Ok:
        return MsgResult::Ok;
    case QMessageBox::Yes:
        return MsgResult::Yes;
    case QMessageBox::No:
        return MsgResult::No;
    case QMessageBox::Cancel:
        return MsgResult::Cancel;
    default:
        // Closing the box counts as the negative answer of a question.
        if (buttons == MsgButtons::YesNo)
            return MsgResult::No;
        return buttons == MsgButtons::OkCancel ? MsgResult::Cancel : MsgResult::Ok;
    }
}

void GuiUi::showMainWindow(bool shown)
{
    if (m_main)
        m_main->setVisible(shown);
}

} // namespace trivel
