#pragma once
// The main window: fixed layout, the page control, page-show requests, keyboard shortcuts,
// the connect group and the start-up sequence.

#include "app/ControlTables.h"
#include "files/SettingFiles.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class QAbstractButton;
class QButtonGroup;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace trivel {

class ClockTimer;
class Box;
class Connection;
class GuiUi;
class IpAddressEdit;
class ProgressPanel;
class Session;
class WarpShortcutTarget;

class TMainForm : public QWidget {
    Q_OBJECT
public:
    TMainForm(Box& box, Connection& connection, GuiUi& ui, QWidget* parent = nullptr);
    ~TMainForm() override;

    // The Load Setting button's files: the command line's setting file goes the same way.
    SettingFiles& settingFiles() { return m_files; }

    // Keyboard shortcuts; true when the key was consumed.
    bool FormShortCut(int key, Qt::KeyboardModifiers modifiers);
    void setWarpShortcutTarget(WarpShortcutTarget* t) { m_warpTarget = t; }

    // A control of the lookup tables by its index (0..62), or nullptr.
    QAbstractButton* lookup(int index) const;

    void CloseTimerTimer();
    std::unique_ptr<ClockTimer> CloseTimer;

    QGroupBox* Grop1 = nullptr;
    QRadioButton* RBTCP = nullptr;
    QRadioButton* RBUSB = nullptr;
    IpAddressEdit* ConnectAddressBox = nullptr;
    QPushButton* BtnCnt2 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QTabWidget* PCMain = nullptr;
    QGroupBox* BtnFrame = nullptr;
    ProgressPanel* UpdateStep = nullptr;
    QProgressBar* ProgressBar2 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    std::array<QWidget*, kPageCount> pages{};
    // The page widget of an index, as its owner's class.
    template <class P> P* page(int index) const { return qobject_cast<P*>(pages[std::size_t(index)]); }

signals:
    // BtnWin1..BtnWin4 clicked, by the user or by code: the window selector of the settings
    // pages takes it from here.
    void windowButtonClicked(int tag);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void FormCreate();
    void buildConnectGroup();
    void buildLogo();
    void buildSettingGroup();
    void buildInterchangeButtons();
    void buildWindowFrame();
    void buildPages();
    void buildHiddenArea();
    void FillLookupTables();
    void pageChanged(int index);

    void RBTCPClick();
    void RBUSBClick();
    void BtnCnt2Click();
    void showLinkState(bool connected);
    void holdForLongOperation(bool running);

    bool warpPageShortcut(int key, bool shift, bool alt, bool ctrl);

    Box& m_box;
    Session& m_s;
    SettingFiles m_files;
    Connection& m_connection;
    GuiUi& m_ui;
    WarpShortcutTarget* m_warpTarget = nullptr;
    std::array<QAbstractButton*, kLookupSize> m_lookup{};
    // The key press last passed on to the focused control, and where it has got to.
    struct KeySeen {
        const QEvent* event = nullptr;
        QPointer<QWidget> receiver;
        int key = 0;
        Qt::KeyboardModifiers modifiers;
        bool autoRepeat = false;
        quint64 timestamp = 0;
        bool sameKey(const KeySeen& o) const
        {
            return key == o.key && modifiers == o.modifiers && autoRepeat == o.autoRepeat
                && timestamp == o.timestamp;
        }
    };
    KeySeen m_keySeen;
};

} // namespace trivel
