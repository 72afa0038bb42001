#pragma once
// The Warp Adjust page (Warp95Tab): warp modes, cursor and move buttons of the box-side grids.
// The warp subsystem (warp/Warp.h) does the work; the page forwards its widgets and the main window's
// keyboard shortcuts to them.

#include "widgets/PageWidget.h"
#include "widgets/WarpShortcutTarget.h"

class QButtonGroup;
class QComboBox;
class QSlider;

namespace trivel {

class Warp;

class WarpAdjustPage : public PageWidget, public WarpShortcutTarget {
    Q_OBJECT
public:
    WarpAdjustPage(Session& s, Warp& warp, QWidget* parent = nullptr);
    ~WarpAdjustPage() override;

    bool warpBusy() const override;
    void BtnCurLeftClick() override;
    void BtnCurUpClick() override;
    void BtnCurRightClick() override;
    void BtnCurDownClick() override;
    void setFineStep(bool on) override;
    void BtnMoveLeftClick() override;
    void BtnMoveUpClick() override;
    void BtnMoveRightClick() override;
    void BtnMoveDownClick() override;
    int patternIndex() const override;
    int patternCount() const override;
    void selectPattern(int index) override;
    void CBPatternSel1Change() override;
    void BtnWP2x2Click() override;
    void BtnWP3x3Click() override;
    void BtnWP5x3Click() override;
    void BtnWP9x5Click() override;
    void BtnWP17x17Click() override;
    void BtnWPWallClick() override;
    void BtnWPResetClick() override;
    void BtnWPUndoClick() override;

private:
    void modeClicked(int mode);
    void buildModes();
    void buildArrows();
    void buildSettings();

    Warp& m_warp;
    QWidget* m_left = nullptr;
    QWidget* m_right = nullptr;
    QButtonGroup* m_modes = nullptr;
    QComboBox* m_pattern = nullptr;
    QSlider* m_grid = nullptr;
    bool m_inGridChange = false;
};

} // namespace trivel
