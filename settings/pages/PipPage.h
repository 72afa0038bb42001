#pragma once
// The PIP page: display mode, size and position, overlaps, source.

#include "app/PageWidget.h"

namespace trivel {

class PipPage : public PageWidget {
    Q_OBJECT
public:
    explicit PipPage(Session& s, QWidget* parent = nullptr);
};

} // namespace trivel
