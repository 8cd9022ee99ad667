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

    Writer& operator<<(std::string_view text);
    Writer& operator<<(const char* text) { return *this << std::string_view(text); }
    Writer& operator<<(const std::string& text) { return *this << std::string_view(text); }
    Writer& operator<<(char c) { return *this << std::string_view(&c, 1); }
    template <std::integral Number> Writer& operator<<(Number n) {
        return *this << std::to_string(n);
    }
    void Flush();
    // A write to a real handle that failed: the text is lost and the
    // command must not report success. 0 while every write went through.
    DWORD WriteError() const { return error_; }

private:
    HANDLE file_ = nullptr;
    Buffering buffering_ = WholeBuffer;
    std::string* kept_ = nullptr;
    std::string pending_;
    DWORD error_ = 0;
};
