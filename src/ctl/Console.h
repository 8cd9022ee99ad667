// Where a command writes: results to `out`, errors to `err`.
#pragma once

#include "ctl/Writer.h"

// What was written to `out` appears first wherever both end up.
struct Console {
    Writer& out;
    Writer& err;
    Writer& Error() {
        out.Flush();
        err << "morvanectl: ";
        return err;
    }
};
