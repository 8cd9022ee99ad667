// What morvanectl prints: text handed to a file or console handle, or kept in
// a string for tests. Nothing of the standard streams: their locale code is
// most of what a static program would otherwise carry.
#pragma once

#include <windows.h>

#include <concepts>
#include <string>
#include <string_view>

class Writer {
public:
    enum Buffering { WholeBuffer, LineBuffer };
    // Lines end in CR LF there, as a console program's text output does.
    explicit Writer(HANDLE file, Buffering buffering = WholeBuffer);
    // Kept as written, for tests.
    explicit Writer(std::string* kept);
    ~Writer();
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    // The program's own words, a literal or a table's text, as they are:
    // their line ends end lines.
    Writer& operator<<(const char* text);
    // Any other text, where text from outside (an argument, a file, a
    // registry name) always comes, through Escaped (ctl/output/Text.h): nothing of
    // it can start a line or reach the terminal as a control.
    Writer& operator<<(std::string_view text);
    Writer& operator<<(const std::string& text) { return *this << std::string_view(text); }
    Writer& operator<<(char c) { return *this << std::string_view(&c, 1); }
    template <std::integral Number> Writer& operator<<(Number n) {
        return *this << std::to_string(n);
    }
    // Text of several lines, such as another program's output: each line
    // through Escaped, and its end ("\n" or "\r\n") as a line end.
    Writer& Lines(std::string_view text);
    void Flush();
    // A write to a real handle that failed: the text is lost and the
    // command must not report success. 0 while every write went through.
    DWORD WriteError() const { return error_; }

private:
    void Put(std::string_view text);

    HANDLE file_ = nullptr;
    Buffering buffering_ = WholeBuffer;
    std::string* kept_ = nullptr;
    std::string pending_;
    DWORD error_ = 0;
};
