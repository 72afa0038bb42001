#pragma once
#include <QLoggingCategory>

namespace trivel {
Q_DECLARE_LOGGING_CATEGORY(lcLink)
}
