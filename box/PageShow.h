#pragma once
// The request sent whenever one of the pages 1..10 is shown: blend marker, test pattern off,
// warp cursor off, so the projected picture is clean for the page.

#include "link/Operation.h"

namespace trivel {

class Session;

// The whole request of a page, with the page's own rules.
Operation<void> PageShowRequest(Session& s, int pageIndex);

// The show handler of a page: its own (Session::pageHooks) or the common request above.
Operation<void> ShowPage(Session& s, int pageIndex);

// The same started and left to run, its failure reported (the refill after a file load).
void RunPageShow(Session& s, int pageIndex);

} // namespace trivel
