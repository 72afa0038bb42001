#pragma once
// The System page: device profiles, the box-wide commands and the Ethernet config.

#include "widgets/PageWidget.h"

namespace trivel {

class SystemPage : public PageWidget {
    Q_OBJECT
public:
    explicit SystemPage(Session& s, QWidget* parent = nullptr);
};

} // namespace trivel
