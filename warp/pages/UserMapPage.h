#pragma once
// The User Map page (TabWapAdjust): the tool-side point editor; its tab stays hidden. The
// handlers live in warp/UserMap.h.

#include "app/PageWidget.h"

namespace trivel {

class UserMapPage : public PageWidget {
    Q_OBJECT
public:
    explicit UserMapPage(Session& s, QWidget* parent = nullptr);
    ~UserMapPage() override;
};

} // namespace trivel
