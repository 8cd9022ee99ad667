// The console program's commands, callable in-process: main hands over its
// arguments and output handles, and tests call the same function.
#pragma once

#include "ctl/ExitCodes.h"
#include "ctl/output/Writer.h"

#include <string>
#include <vector>

// args without the program's own name.
int RunCtl(const std::vector<std::string>& args, Writer& out, Writer& err);
