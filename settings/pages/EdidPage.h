#pragma once
// The EDID page (TntTabSheet5): one group per input with its timing.

#include "app/PageWidget.h"

namespace trivel {

class EdidPage : public PageWidget {
    Q_OBJECT
public:
    explicit EdidPage(Session& s, QWidget* parent = nullptr);
};

} // namespace trivel
