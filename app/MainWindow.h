#pragma once
// The main window: fixed layout, the page control, page-show requests, keyboard shortcuts,
// the connect group and the start-up sequence.

#include "app/ControlTables.h"
#include "app/PageShow.h"

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
class Connection;
class GuiUi;
class IpAddressEdit;
class Session;
class WarpShortcutTarget;

class TMainForm : public QWidget {
    Q_OBJECT
public:
    TMainForm(Session& s, Connection& connection, GuiUi& ui, QWidget* parent = nullptr);
    ~TMainForm() override;

    // Keyboard shortcuts; true when the key was consumed.
    bool FormShortCut(int key, Qt::KeyboardModifiers modifiers);
    void setWarpShortcutTarget(WarpShortcutTarget* t) { m_warpTarget = t; }

    // Show handlers of pages built later (Warp Adjust, User Map) plug in here.
    void setPageShowHandler(int pageIndex, std::function<void()> handler);
    void runPageShow(int pageIndex);
    PageShowHooks pageShowHooks;

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
    QWidget* UpdateStep = nullptr;
    QProgressBar* ProgressBar2 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    std::array<QWidget*, kPageCount> pages{};

signals:
    // BtnWin1..BtnWin4 clicked: the window selector of the settings pages takes it from here.
    void windowButtonClicked(int tag);
    // BtnOut*, BtnSrc* clicked (Tag); the Image page takes them.
    void outputModeButtonClicked(int tag);
    void inputButtonClicked(int tag);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void FormCreate();
    void buildConnectGroup();
    void buildLogo();
    void buildSettingGroup();
    void buildWindowFrame();
    void buildPages();
    void buildHiddenArea();
    void buildVideoWallPage(QWidget* page);
    void buildBlend2Page(QWidget* page);
    void buildMaskPage(QWidget* page);
    void buildImagePage(QWidget* page);
    void buildSystemPage(QWidget* page);
    void buildPipPage(QWidget* page);
    void buildFirmwarePage(QWidget* page);
    void FillLookupTables();
    void pageChanged(int index);

    void RBTCPClick();
    void RBUSBClick();
    void BtnCnt2Click();

    bool warpPageShortcut(int key, bool shift, bool alt, bool ctrl);

    Session& m_s;
    Connection& m_connection;
    GuiUi& m_ui;
    WarpShortcutTarget* m_warpTarget = nullptr;
    std::array<std::function<void()>, kPageCount> m_pageShow{};
    std::array<QAbstractButton*, kLookupSize> m_lookup{};
    const QEvent* m_lastKey = nullptr;
    QWidget* m_lastKeyReceiver = nullptr;
};

} // namespace trivel
