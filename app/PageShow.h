#pragma once
// The request sent whenever one of the pages 1..10 is shown: blend marker, test pattern off,
// warp cursor off, so the projected picture is clean for the page.

#include <functional>

namespace trivel {

class Session;

// Work that belongs to pages built later; an empty hook is skipped.
struct PageShowHooks {
    std::function<void()> maskSlotChange; // CBMaskIdx2Change
};

// The whole request of a page, with the page's own rules.
void PageShowRequest(Session& s, int pageIndex, const PageShowHooks& hooks);

} // namespace trivel
