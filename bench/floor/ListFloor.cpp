// The floor of `morvanectl list`: a plain console program that makes the same
// state reads as bare ADVAPI32 calls and prints a line of about the same
// length per tweak, under a heading per page, with none of the program's code.
// The text goes out in one write; the program's C++ stream writes a few blocks.
#include "SameWorkReads.h"

#include <cstdio>
#include <string>

namespace {

const char* const kTabTexts[] = {"General", "Services", "IExplorer", "Windows MediaPlayer",
                                 "Usability"};

} // namespace

int main() {
    std::string text;
    for (int page = 0; page < 5; ++page) {
        text += kTabTexts[page];
        text += '\n';
        const PageBoxes& boxes = kPageBoxes[page];
        for (int i = 0; i < boxes.count; ++i) {
            const Box& box = boxes.boxes[i];
            char line[128];
            snprintf(line, sizeof(line), "  %-3s %-5s box-%-41d %.24s\n",
                     Checked(box) ? "on" : "off", "", box.id, box.tip);
            text += line;
        }
    }
    DWORD written = 0;
    const BOOL ok = WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(),
                              static_cast<DWORD>(text.size()), &written, nullptr);
    return ok && written == text.size() ? 0 : 1;
}
