#pragma once
// trivelctl's commands as one table: the first word that is not an option names the row.

#include "cli/Bootstrap.h"

#include <QStringList>

#include <span>

namespace trivel::cli {

struct Command {
    const char* name;
    // The lines of 'trivelctl --help' (each command prints its own help for 'COMMAND --help').
    const char* summary;
    // Parses and checks everything before it connects; gets all arguments, link options included.
    int (*run)(const QStringList& args, const BoxEnv& env);
};

std::span<const Command> Commands();

// The command word: the first argument that is not an option or the value of --tcp.
QString CommandWord(const QStringList& args);

// The whole command line; returns the exit code. Tests call it in-process with their own env.
int RunCommandLine(const QStringList& args, const BoxEnv& env);

} // namespace trivel::cli
