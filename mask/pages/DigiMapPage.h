#pragma once
// The Digi Mapping page: loading a mask bitmap and the ten mask slots.

#include "app/PageWidget.h"

namespace trivel {

class DigiMapPage : public PageWidget {
    Q_OBJECT
public:
    explicit DigiMapPage(Session& s, QWidget* parent = nullptr);
};

} // namespace trivel
