// morvanectl: the fifty tweaks of Morvane from the command line.
#include "ctl/Commands.h"

#include <iostream>

int main(int argc, char** argv) {
    return RunCtl(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
