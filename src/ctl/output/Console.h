// Where a command writes: results to `out`, errors to `err`.
#pragma once

#include "ctl/output/Text.h"
#include "ctl/output/Writer.h"

#include <string>
#include <string_view>

// One error message, written whole when the statement that makes it ends:
// everything but the line's own end is shown through Escaped, the program's
// own words too, so that the message stays one line.
class ErrorLine {
public:
    ErrorLine(Writer& err, std::string_view prefix) : err_(err), text_(prefix) {}
    ~ErrorLine();
    ErrorLine(const ErrorLine&) = delete;
    ErrorLine& operator=(const ErrorLine&) = delete;
    template <class T> ErrorLine& operator<<(const T& value) {
        kept_ << value;
        return *this;
    }

private:
    Writer& err_;
    std::string text_;
    Writer kept_{&text_};
};

// What was written to `out` appears first wherever both end up.
struct Console {
    Writer& out;
    Writer& err;
    ErrorLine Error() {
        out.Flush();
        return ErrorLine(err, "morvanectl: ");
    }
};
