#pragma once
// What the chains may do on screen. Chains never touch a widget: they set properties of
// declared controls, ask questions and step the wait window through this port. The main window
// applies the changes to its widgets, trivelctl prints what matters, tests record.
//
// The port keeps a mirror of what was set (and of what the user changed since), a projection
// of the core's state that tests and trivelctl may read. The core itself never decides from it:
// what it needs to know lives in typed fields of the session.

#include "session/Control.h"

#include <QHash>
#include <QLoggingCategory>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <span>
#include <unordered_map>

namespace trivel {

Q_DECLARE_LOGGING_CATEGORY(lcSession)

enum class Prop {
    Enabled, // bool, default true
    Visible, // bool, default true (for a page: its tab)
    Caption, // QString
    Checked, // bool (radio/speed buttons, check boxes)
    Top, // int (UpdateStep moves between 180 and 680)
    Height, // int
    Position, // int (progress bars, scroll bars)
    Maximum, // int
    Minimum, // int (progress bars)
    Color, // int 0xRRGGBB
    ItemIndex, // int (combo boxes, radio groups); stays the last (the mirror's keys count on it)
};

enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgButtons { Ok, YesNo, OkCancel };
enum class MsgResult { Ok, Cancel, Yes, No };

// Every control the core may address, from all owners' Controls.h.
std::span<const Control> DeclaredControls();
// The declared control of that objectName, or nullptr.
const Control* FindControl(QStringView name);

class UiPort {
public:
    virtual ~UiPort() = default;

    void set(const Control& c, Prop p, const QVariant& v);
    QVariant get(const Control& c, Prop p, const QVariant& fallback = {}) const;
    bool has(const Control& c, Prop p) const;

    void setEnabled(const Control& c, bool on) { set(c, Prop::Enabled, on); }
    bool isEnabled(const Control& c) const { return get(c, Prop::Enabled, true).toBool(); }
    void setVisible(const Control& c, bool on) { set(c, Prop::Visible, on); }
    bool isVisible(const Control& c) const { return get(c, Prop::Visible, true).toBool(); }
    void setCaption(const Control& c, const QString& t) { set(c, Prop::Caption, t); }
    QString caption(const Control& c) const { return get(c, Prop::Caption).toString(); }
    void setChecked(const Control& c, bool on) { set(c, Prop::Checked, on); }
    bool isChecked(const Control& c) const { return get(c, Prop::Checked, false).toBool(); }
    int intValue(const Control& c, Prop p, int fallback = 0) const { return get(c, p, fallback).toInt(); }
    // Number of properties held, for tests.
    int mirrorSize() const;

    // Pages of PCMain by index.
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
    // Timer1 of the wait window: a bar that keeps cycling while an open-ended operation runs.
    virtual void enableWaitTimer(bool /*on*/) { }

    // The hourglass screen cursor of chains that run without the wait window (the Warp Adjust
    // re-select). Closing the wait window restores the normal cursor too, so a chain cut short by
    // a lost link or the reply watchdog does not leave the hourglass behind.
    void setHourglass(bool on);
    bool hourglass() const { return m_hourglass; }

    // Modal message or question; the answer a non-interactive port gives is its own choice.
    virtual MsgResult message(MsgIcon icon, const QString& caption, const QString& text, MsgButtons buttons)
        = 0;

    // Hides or shows the main window (the rejection of a box repaints it this way).
    virtual void showMainWindow(bool /*shown*/) { }

    // The hidden diagnostic memo Memo1; lines also go to the session log.
    void appendMemo(const QString& line);
    const QStringList& memo() const { return m_memo; }

protected:
    virtual void controlChanged(const Control& /*control*/, Prop /*p*/, const QVariant& /*v*/) { }
    virtual void activePageChanged(int /*index*/) { }
    virtual void waitWindowChanged() { }
    virtual void memoAppended(const QString& /*line*/) { }
    virtual void hourglassChanged(bool /*on*/) { }

private:
    // Index of the declared control of that name, or -1.
    int indexOf(const Control& c) const;

    // Keyed by the declared control's index and the property: a progress bar set on every
    // request must not hash a name each time.
    QHash<int, QVariant> m_props;
    // Declared index by the address of a control's name: controls are named by literals, so
    // nearly every call finds its pointer here; the name is still compared on a hit.
    mutable std::unordered_map<const char*, int> m_indexByName;
    int m_activePage = 0;
    bool m_waitOpen = false;
    int m_waitPos = 100;
    int m_waitMax = 100;
    QStringList m_memo;
    bool m_hourglass = false;
};

} // namespace trivel
