// morvanectl: the fifty tweaks of Morvane from the command line.
#include "ctl/Commands.h"
#include "ctl/output/Text.h"
#include "ctl/output/Writer.h"

// Wide arguments, so that a path or name outside the code page arrives
// whole; inside, text is UTF-8.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(Utf8(argv[i]));
    Writer out(GetStdHandle(STD_OUTPUT_HANDLE));
    Writer err(GetStdHandle(STD_ERROR_HANDLE), Writer::LineBuffer);
    return RunCtl(args, out, err);
}
