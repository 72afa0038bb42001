#include "registers/pages/RegisterPage.h"

namespace trivel {

RegisterPage::RegisterPage(Session& s, QWidget* parent)
    : PageWidget(s, parent)
{
}

} // namespace trivel
