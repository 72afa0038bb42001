#pragma once
// The UI port of the GUI: every property the core sets is applied to the widget of that
// objectName, and what the user changes goes back into the mirror, so the mirror shows what the
// screen shows.

#include "session/UiPort.h"

#include <QHash>
#include <QPointer>
#include <QSet>
#include <QWidget>

class QTabWidget;

namespace trivel {

class TForm1;

class GuiUi : public UiPort {
public:
    GuiUi();
    ~GuiUi() override;

    // Registers a window's declared controls: mirror values already set are applied to them, and
    // user changes are pushed back from then on. Safe to call again after new controls were added.
    void adopt(QWidget* root);
    void setMainWindow(QWidget* w) { m_main = w; }
    void setWaitWindow(TForm1* w);

    QWidget* widget(const QString& name) const;
    // Keeps a widget disabled, whatever the core sets meanwhile, until released; it then shows
    // what the core last set, or what it had before.
    void hold(QWidget* w, bool on);
    // True while a mirror change is being applied to a widget: handlers skip such signals.
    bool applying() const { return m_applying > 0; }

    MsgResult message(MsgIcon icon, const QString& caption, const QString& text, MsgButtons buttons) override;
    void showMainWindow(bool shown) override;
    void enableWaitTimer(bool on) override;

protected:
    void controlChanged(const Control& control, Prop p, const QVariant& v) override;
    void activePageChanged(int index) override;
    void waitWindowChanged() override;
    void memoAppended(const QString& line) override;
    void hourglassChanged(bool on) override;

private:
    void apply(QWidget* w, Prop p, const QVariant& v);
    void applyMirror(QWidget* w, const Control& c);
    void track(QWidget* w);
    void push(QWidget* w, Prop p, const QVariant& v);
    QTabWidget* pages() const;

    QList<QPointer<QWidget>> m_roots;
    mutable QHash<QString, QPointer<QWidget>> m_widgets;
    QSet<QWidget*> m_tracked;
    struct Held {
        bool enabled = true; // what the widget returns to
        QMetaObject::Connection gone;
    };
    QHash<QWidget*, Held> m_held;
    QPointer<QWidget> m_main;
    QPointer<TForm1> m_wait;
    int m_applying = 0;
    bool m_pushing = false;
    bool m_waitShown = false;
    int m_waitShownMax = -1;
};

} // namespace trivel
