#pragma once
// The Digi Mapping page: loading a mask bitmap, its placement, and the ten mask slots.

#include "widgets/PageWidget.h"

class QColorDialog;
class QLabel;

namespace trivel {

class Masks;

class DigiMapPage : public PageWidget {
    Q_OBJECT
public:
    DigiMapPage(Session& s, Masks& masks, QWidget* parent = nullptr);
    ~DigiMapPage() override;

private:
    void buildSlotControls(int x);
    void buildPlacement();
    void showPicture();
    void LoadMaskImageClick();
    void BtnSelColorClick();

    Masks& m_masks;
    QLabel* m_picture = nullptr;
    // ColorDialog1; no parent, so it stays out of the page's named widgets until it is shown.
    QColorDialog* m_colourDialog = nullptr;
};

} // namespace trivel
