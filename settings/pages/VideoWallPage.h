#pragma once
// The Video Wall page: zoom and pan, overscan, orientation, reset.

#include "app/PageWidget.h"

namespace trivel {

class VideoWallPage : public PageWidget {
    Q_OBJECT
public:
    explicit VideoWallPage(Session& s, QWidget* parent = nullptr);
};

} // namespace trivel
