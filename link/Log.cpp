#include "link/Log.h"

namespace trivel {
Q_LOGGING_CATEGORY(lcLink, "trivel.link")
}
