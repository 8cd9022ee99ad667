// morvanectl: the fifty tweaks of Morvane from the command line.
#include "ctl/Commands.h"

int main(int argc, char** argv) {
    Writer out(GetStdHandle(STD_OUTPUT_HANDLE));
    Writer err(GetStdHandle(STD_ERROR_HANDLE), Writer::LineBuffer);
    return RunCtl(std::vector<std::string>(argv + 1, argv + argc), out, err);
}
