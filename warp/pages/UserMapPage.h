#pragma once
// The User Map page (TabWapAdjust): the tool-side point editor; its tab stays hidden. It
// forwards to the warp subsystem (warp/Warp.h).

#include "widgets/PageWidget.h"

namespace trivel {

class Warp;

class UserMapPage : public PageWidget {
    Q_OBJECT
public:
    UserMapPage(Session& s, Warp& warp, QWidget* parent = nullptr);
    ~UserMapPage() override;

private:
    Warp& m_warp;
};

} // namespace trivel
