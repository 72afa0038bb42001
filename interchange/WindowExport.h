#pragma once
// The one place an export reads a session: each window's frame, source tables and blend record,
// as the output preview derives them.

#include "interchange/Mpcdi.h"

namespace trivel {

class Session;

WindowExport WindowExportOf(const Session& s, int window);

} // namespace trivel
