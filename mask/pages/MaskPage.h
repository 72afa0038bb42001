#pragma once
// The Mask page: edge-mask corners and the user-mask group.

#include "widgets/PageWidget.h"

class QLabel;

namespace trivel {

class Masks;

class MaskPage : public PageWidget {
    Q_OBJECT
public:
    MaskPage(Session& s, Masks& masks, QWidget* parent = nullptr);
    ~MaskPage() override;

private:
    Masks& m_masks;
    QLabel* m_preview = nullptr;
};

} // namespace trivel
