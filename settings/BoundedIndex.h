#pragma once
// Values the box reports become indices of buttons, items and tables. One the table does not
// have must show nothing (or the page's fallback) instead of reaching past an array.

#include <QLoggingCategory>

namespace trivel {

Q_DECLARE_LOGGING_CATEGORY(lcSettings)

class Session;

// `value` when it lies in 0..count-1, else -1; a bad value is logged once per name and value.
int BoundedIndex(Session& s, const char* what, int value, int count);

} // namespace trivel
