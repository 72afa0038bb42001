#pragma once
// What the chains may do on screen. Chains never touch a widget: they set named control
// properties, ask questions and step the wait window through this port. The main window
// applies the changes to its widgets, trivelctl prints what matters, tests record.
//
// The port keeps a mirror of every property a chain set, so core code can read back the
// state it relies on (is BtnWin3 enabled, which page is active) without a widget.

#include <QHash>
#include <QLoggingCategory>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace trivel {

Q_DECLARE_LOGGING_CATEGORY(lcLink)

enum class Prop {
    Enabled, // bool, default true
    Visible, // bool, default true (for a page: its tab)
    Caption, // QString
    Checked, // bool (radio/speed buttons, check boxes)
    Top, // int (UpdateStep moves between 180 and 680)
    Height, // int
    Position, // int (progress bars, scroll bars)
    Maximum, // int
    Color, // int 0xRRGGBB
    ItemIndex, // int (combo boxes, radio groups)
};

enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgButtons { Ok, YesNo, OkCancel };
enum class MsgResult { Ok, Cancel, Yes, No };

class UiPort {
public:
    virtual ~UiPort() = default;

    void set(const QString& control, Prop p, const QVariant& v);
    QVariant get(const QString& control, Prop p, const QVariant& fallback = {}) const;
    bool has(const QString& control, Prop p) const;

    void setEnabled(const QString& c, bool on) { set(c, Prop::Enabled, on); }
    bool isEnabled(const QString& c) const { return get(c, Prop::Enabled, true).toBool(); }
    void setVisible(const QString& c, bool on) { set(c, Prop::Visible, on); }
    bool isVisible(const QString& c) const { return get(c, Prop::Visible, true).toBool(); }
    void setCaption(const QString& c, const QString& t) { set(c, Prop::Caption, t); }
    QString caption(const QString& c) const { return get(c, Prop::Caption).toString(); }
    void setChecked(const QString& c, bool on) { set(c, Prop::Checked, on); }
    bool isChecked(const QString& c) const { return get(c, Prop::Checked, false).toBool(); }
    int intValue(const QString& c, Prop p, int fallback = 0) const { return get(c, p, fallback).toInt(); }

    // Pages of PCMain by index; each page is also a named control (Warp95Tab, ...).
    void setActivePage(int index);
    int activePage() const { return m_activePage; }

    // The wait window (Form1 with PBLink).
    void openWaitWindow(int maximum);
    void closeWaitWindow();
    void addWaitProgress(int n);
    void setWaitProgress(int pos);
    bool waitWindowOpen() const { return m_waitOpen; }
    int waitProgress() const { return m_waitPos; }
    int waitMaximum() const { return m_waitMax; }

    // Modal message or question; the answer a non-interactive port gives is its own choice.
    virtual MsgResult message(MsgIcon icon, const QString& caption, const QString& text, MsgButtons buttons)
        = 0;

    // The hidden diagnostic memo Memo1; lines also go to the link log.
    void appendMemo(const QString& line);
    const QStringList& memo() const { return m_memo; }

    // Widget work that belongs to the pages (refill from the caches, ...). Named hooks with
    // default no-ops, so adding one never breaks another implementation.
    virtual void refreshPages() { }
    virtual void refreshBlendPages() { }
    virtual void showMainWindow(bool /*shown*/) { }
    virtual void runPageShowHandler(int /*pageIndex*/) { }
    // A click on a control by code, running its handler (FinishReadback clicks BtnWin1).
    virtual void clickControl(const QString& /*control*/) { }
    // The Warp Adjust page shows the selected point's offsets (after the warp re-read).
    virtual void showWarpPointValues() { }
    // Timer1 of the wait window: a bar that keeps cycling while an open-ended operation runs.
    virtual void enableWaitTimer(bool /*on*/) { }

protected:
    virtual void controlChanged(const QString& /*control*/, Prop /*p*/, const QVariant& /*v*/) { }
    virtual void activePageChanged(int /*index*/) { }
    virtual void waitWindowChanged() { }
    virtual void memoAppended(const QString& /*line*/) { }

private:
    QHash<QString, QHash<int, QVariant>> m_props;
    int m_activePage = 0;
    bool m_waitOpen = false;
    int m_waitPos = 100;
    int m_waitMax = 100;
    QStringList m_memo;
};

} // namespace trivel
