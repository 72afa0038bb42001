#pragma once
// The Blend 2 page: colour gain and offset, black-level offsets by region, blend corners.

#include "app/PageWidget.h"

namespace trivel {

class Blend2Page : public PageWidget {
    Q_OBJECT
public:
    explicit Blend2Page(Session& s, QWidget* parent = nullptr);
};

} // namespace trivel
