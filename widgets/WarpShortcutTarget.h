#pragma once
// What the main window's keyboard shortcuts call on the Warp Adjust page. The page implements
// it; tests record the calls.

namespace trivel {

class WarpShortcutTarget {
public:
    virtual ~WarpShortcutTarget() = default;

    // Set while a warp move, grid change or user-map transfer awaits its reply.
    virtual bool warpBusy() const = 0;

    virtual void BtnCurLeftClick() = 0;
    virtual void BtnCurUpClick() = 0;
    virtual void BtnCurRightClick() = 0;
    virtual void BtnCurDownClick() = 0;

    // Shift+arrow moves by one pixel: the flag is set around the move handler.
    virtual void setFineStep(bool on) = 0;
    virtual void BtnMoveLeftClick() = 0;
    virtual void BtnMoveUpClick() = 0;
    virtual void BtnMoveRightClick() = 0;
    virtual void BtnMoveDownClick() = 0;

    // The current window's stored pattern index and the entries of CBPatternSel1.
    virtual int patternIndex() const = 0;
    virtual int patternCount() const = 0;
    // Stores the index for the current window and selects that entry in CBPatternSel1.
    virtual void selectPattern(int index) = 0;
    virtual void CBPatternSel1Change() = 0;

    virtual void BtnWP2x2Click() = 0;
    virtual void BtnWP3x3Click() = 0;
    virtual void BtnWP5x3Click() = 0;
    virtual void BtnWP9x5Click() = 0;
    virtual void BtnWP17x17Click() = 0;
    virtual void BtnWPWallClick() = 0;
    virtual void BtnWPResetClick() = 0;
    virtual void BtnWPUndoClick() = 0;
};

} // namespace trivel
