#pragma once
// The Mask page: edge-mask corners and the user-mask group.

#include "app/PageWidget.h"

class QLabel;

namespace trivel {

class MaskPage : public PageWidget {
    Q_OBJECT
public:
    explicit MaskPage(Session& s, QWidget* parent = nullptr);
    ~MaskPage() override;

private:
    QLabel* m_preview = nullptr;
};

} // namespace trivel
