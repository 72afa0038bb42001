#include "link/LinkChains.h"

#include "link/Session.h"

namespace trivel {

void ApplyChannelLayout(Session&, bool) { }

void ShowSignalIndicators(Session&, int, int) { }

} // namespace trivel
