#pragma once
// What the Image and Video Wall pages decide on the session alone; the sending handlers are
// operations of the settings subsystem (settings/Settings.h).

#include <QLoggingCategory>
#include <QString>

#include <array>
#include <optional>

namespace trivel {

class Session;

Q_DECLARE_LOGGING_CATEGORY(lcSettings)

// A cached index the box reported (OPM, INP, ORI, CLR), checked against its table of `count`
// entries: the index, or -1 when the table has none, logged once per field and value.
int CheckedIndex(Session& s, const char* field, int value, int count);

inline constexpr const char* kOverscanMessage = "Please enter valid value(-1800~1800) !!";
// The text of an overscan edit on Enter: its value, or nothing after showing the message.
std::optional<int> OverscanEntry(Session& s, const QString& text);

// Captions of the four inputs of the current window: per window on a PIP-capable box, else
// shared by windows 2p and 2p+1.
std::array<QString, 4> InputNames(const Session& s);
// Whether 90 and 270 can be chosen for the current window (its PIP state and WindowCaps bit 7).
bool RotationsAvailable(const Session& s);

} // namespace trivel
