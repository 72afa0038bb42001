#pragma once
// The UI port of the GUI: every mirrored property change is applied to the widget of that
// objectName, and what the user changes goes back into the mirror, so core code reads the truth.

#include "link/UiPort.h"

#include <QHash>
#include <QPointer>
#include <QSet>
#include <QWidget>

#include <functional>

class QTabWidget;

namespace trivel {

class TForm1;

class GuiUi : public UiPort {
public:
    GuiUi();
    ~GuiUi() override;

    // Registers a window's named controls: mirror values already set win, the rest are read
    // from the widgets; user changes are pushed back from then on. Safe to call again after
    // new controls were added.
    void adopt(QWidget* root);
    void setMainWindow(QWidget* w) { m_main = w; }
    void setWaitWindow(TForm1* w);

    QWidget* widget(const QString& name) const;
    // True while a mirror change is being applied to a widget: handlers skip such signals.
    bool applying() const { return m_applying > 0; }

    MsgResult message(MsgIcon icon, const QString& caption, const QString& text, MsgButtons buttons) override;
    void showMainWindow(bool shown) override;
    void runPageShowHandler(int pageIndex) override;
    void enableWaitTimer(bool on) override;
    void refreshPages() override;
    void refreshBlendPages() override;
    void clickControl(const QString& control) override;
    void showWarpPointValues() override;

    // Filled by the windows that own the work.
    std::function<void(int)> onRunPageShow;
    std::function<void()> onRefreshPages;
    std::function<void()> onRefreshBlendPages;
    std::function<void()> onShowWarpPointValues;

protected:
    void controlChanged(const QString& control, Prop p, const QVariant& v) override;
    void activePageChanged(int index) override;
    void waitWindowChanged() override;
    void memoAppended(const QString& line) override;

private:
    void apply(QWidget* w, Prop p, const QVariant& v);
    void seed(QWidget* w);
    void track(QWidget* w);
    void push(QWidget* w, Prop p, const QVariant& v);
    QTabWidget* pages() const;

    QList<QPointer<QWidget>> m_roots;
    mutable QHash<QString, QPointer<QWidget>> m_widgets;
    QSet<QWidget*> m_tracked;
    QPointer<QWidget> m_main;
    QPointer<TForm1> m_wait;
    int m_applying = 0;
    bool m_pushing = false;
    bool m_waitShown = false;
    int m_waitShownMax = -1;
};

} // namespace trivel
