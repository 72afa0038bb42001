#pragma once
// Every declared control, for tests that reach controls by their constants.

#include "files/Controls.h"
#include "firmware/Controls.h"
#include "mask/Controls.h"
#include "preview/Controls.h"
#include "registers/Controls.h"
#include "session/Controls.h"
#include "settings/Controls.h"
#include "settings/OutputModes.h"
#include "warp/Controls.h"
