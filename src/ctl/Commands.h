// The console program's commands, callable in-process: main hands over its
// arguments and output handles, and tests call the same function.
#pragma once

#include "ctl/Writer.h"

#include <string>
#include <vector>

enum ExitCode {
    kDone = 0,
    kDiffers = 1,    // check: some tweaks differ from the preset (nothing was changed)
    kBadInput = 2,   // usage or input error: nothing was changed
    kSomeFailed = 3, // some changes failed, each one named; the others were made
};

// args without the program's own name.
int RunCtl(const std::vector<std::string>& args, Writer& out, Writer& err);
