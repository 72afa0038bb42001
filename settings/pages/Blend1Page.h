#pragma once
// The Blend 1 page: edge widths and shifts, gamma transition, gain and offset.

#include "app/PageWidget.h"

namespace trivel {

class Blend1Page : public PageWidget {
    Q_OBJECT
public:
    explicit Blend1Page(Session& s, QWidget* parent = nullptr);
};

} // namespace trivel
