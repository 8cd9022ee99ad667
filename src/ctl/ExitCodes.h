// What morvanectl's exit code says.
#pragma once

enum ExitCode {
    kDone = 0,
    kDiffers = 1,    // check: some tweaks differ from the preset (nothing was changed)
    kBadInput = 2,   // usage or input error: nothing was changed
    kSomeFailed = 3, // some changes failed, each one named; the others were made
};
