#pragma once
// The 12-character setting command ("s00BRI+050\r\n") and its value field.

#include "protocol/Frame.h"

#include <array>
#include <optional>
#include <string_view>

namespace trivel {

inline constexpr std::size_t kSettingOffset = 8; // command text at frame offsets 8..19
inline constexpr std::size_t kSettingLength = 12;
inline constexpr std::size_t kValueField = 6; // value at command positions 6..9

using SettingCommand = std::array<char, kSettingLength>;

// Builds a command from a 10-character template such as "s00BRI+022" (CR LF appended).
SettingCommand MakeSettingCommand(std::string_view tpl);

// Writes value (-1999..9999) into the 4-character field; never writes outside it.
void EncodeSettingValue(int value, char* field);
inline void EncodeSettingValue(int value, SettingCommand& cmd)
{
    EncodeSettingValue(value, cmd.data() + kValueField);
}

// The number a 4-character value field holds (-1999..9999), or none for anything else.
std::optional<int> DecodeSettingValue(const char* field);

// Value of a query reply: sign at frame offset 14, digits at 15..17.
int DecodeSettingReply(const FrameView& reply);
// Only the three digits at 15..17 (0..999).
int DecodeSettingDigits(const FrameView& reply);
// The digit arithmetic of DecodeSettingDigits at any offset (status masks use it at 8 and 12).
int DecodeDigitsAt(const FrameView& frame, std::size_t offset);

// Query form: 'S' at position 0 and "R000" as value ("S00MDNR000").
SettingCommand MakeQueryCommand(std::string_view name3);

// Letter patching used by the builders of edge, colour, axis and corner commands.
inline void PatchLetter(SettingCommand& cmd, int position, char letter)
{
    cmd[std::size_t(position)] = letter;
}

// Clears the request buffer's first `clear` bytes (2048, 512, 4 or 0), then writes code and command.
void PutSettingFrame(
    FrameBuffer& request, std::uint32_t code, const SettingCommand& cmd, std::size_t clear = kBufferSize);

} // namespace trivel
