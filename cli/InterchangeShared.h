#pragma once
// What trivelctl export and import share between their offline forms (a setting file, a dry run)
// and their forms on a box.

#include "cli/Bootstrap.h"
#include "cli/CliLink.h"
#include "interchange/ImportPlan.h"
#include "interchange/Mpcdi.h"

#include <QString>

#include <optional>
#include <vector>

namespace trivel::interchange_cli {

enum Exit { Success = 0, Failed = 1, Usage = 2 };

struct Args {
    QString command;
    CliLinkOptions link;
    QString file;
    QString mpcdi;
    QString pfmDir;
    QString tables;
    QString region;
    QString undo;
    int window = -1;
    int frameWidth = 0;
    int frameHeight = 0;
    bool dryRun = false;
    bool points = false;
};

// The --mpcdi, --pfm and --tables outputs of the windows, with a line each on stdout.
int WriteExports(const std::vector<WindowExport>& windows, const Args& o);

// The import's region, read and checked before anything else happens; nothing and exitCode set
// (and said on stderr) when the file is refused.
std::optional<MpcdiRegionData> ReadImportRegion(const Args& o, int& exitCode);
// The plan's figures and report on stdout.
void PrintPlan(const ImportPlan& plan);
// The plan's tables to --tables when given; false (said on stderr) when it could not be written.
bool WritePlannedTables(const ImportPlan& plan, const Args& o);

// The box forms: connect with the whole read-back, then the same export as from a file, or the
// undo file saved and the plan sent.
int ExportFromBox(const Args& o, const cli::BoxEnv& env);
int ImportIntoBox(const Args& o, const MpcdiRegionData& region, const cli::BoxEnv& env);

} // namespace trivel::interchange_cli
