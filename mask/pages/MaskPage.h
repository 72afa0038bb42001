#pragma once
// The Mask page: edge-mask corners and the user-mask group.

#include "app/PageWidget.h"

namespace trivel {

class MaskPage : public PageWidget {
    Q_OBJECT
public:
    explicit MaskPage(Session& s, QWidget* parent = nullptr);
};

} // namespace trivel
