// The desktop program's settings as a run reads them, for hosts other than
// the main window (the console runner): the same registry key, read only.
#pragma once

#include "interpreter/host.h"

// Copies the stored output limit, debug level, User-Agent, time-out and
// redirect limit into s, with the main window's defaults for what is not
// stored. Writes nothing; false when no settings key exists yet.
bool ReadRegistryRunSettings(RunSettings& s);

// The program, data and temporary folders of a run. The data folder is
// created below the program folder, or in the user's data folder when the
// program folder cannot be written.
void SetProgramFolders(RunSettings& s);
