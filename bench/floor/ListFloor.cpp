// The floor of `morvanectl list`: a plain console program that makes the same
// state reads as bare ADVAPI32 calls and prints a line of about the same
// length per tweak, under a heading per page, with none of the program's code.
#include "SameWorkReads.h"

#include <cstdio>

namespace {

const char* const kTabTexts[] = {"General", "Services", "IExplorer", "Windows MediaPlayer",
                                 "Usability"};

} // namespace

int main() {
    for (int page = 0; page < 5; ++page) {
        printf("%s\n", kTabTexts[page]);
        const PageBoxes& boxes = kPageBoxes[page];
        for (int i = 0; i < boxes.count; ++i) {
            const Box& box = boxes.boxes[i];
            printf("  %-3s %-5s box-%-41d %.24s\n", Checked(box) ? "on" : "off", "", box.id,
                   box.tip);
        }
    }
    return 0;
}
