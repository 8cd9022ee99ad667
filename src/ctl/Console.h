// Where a command writes: results to `out`, errors to `err`.
#pragma once

#include "ctl/Writer.h"

#include <string>
#include <string_view>

// A control character, a C1 control or a line separator in text that came
// from outside (an argument, a file, a registry name) as a visible escape
// such as \x1B, so that it can neither move the terminal's cursor nor start
// a line of its own.
std::string Escaped(std::string_view text);

// One error message, written whole when the statement that makes it ends:
// everything but the line's own end is shown through Escaped.
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
