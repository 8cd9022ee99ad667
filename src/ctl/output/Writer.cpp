#include "ctl/output/Writer.h"

#include "ctl/output/Text.h"

#include <algorithm>

namespace {
constexpr size_t kFlushAt = 16384;
}

Writer::Writer(HANDLE file, Buffering buffering) : file_(file), buffering_(buffering) {}

Writer::Writer(std::string* kept) : kept_(kept) {}

Writer::~Writer() {
    Flush();
}

Writer& Writer::operator<<(const char* text) {
    Put(text);
    return *this;
}

Writer& Writer::operator<<(std::string_view text) {
    Put(Escaped(text));
    return *this;
}

Writer& Writer::Lines(std::string_view text) {
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find('\n', at), text.size());
        const size_t stop = end > at && end < text.size() && text[end - 1] == '\r' ? end - 1 : end;
        Put(Escaped(text.substr(at, stop - at)));
        if (end < text.size())
            Put("\n");
        at = end + 1;
    }
    return *this;
}

void Writer::Put(std::string_view text) {
    if (kept_) {
        kept_->append(text);
        return;
    }
    for (char c : text) {
        if (c == '\n')
            pending_ += '\r';
        pending_ += c;
    }
    if (pending_.size() >= kFlushAt ||
        (buffering_ == LineBuffer && text.find('\n') != std::string_view::npos))
        Flush();
}

void Writer::Flush() {
    // A process started without the handle has nowhere to write: its text is
    // dropped. A handle that refuses the text (a full disk, a closed pipe)
    // is a failure to remember.
    const bool missing = !file_ || file_ == INVALID_HANDLE_VALUE;
    size_t done = 0;
    while (!missing && !error_ && done < pending_.size()) {
        DWORD written = 0;
        if (!WriteFile(file_, pending_.data() + done, static_cast<DWORD>(pending_.size() - done),
                       &written, nullptr))
            error_ = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
        else if (written == 0)
            error_ = ERROR_WRITE_FAULT;
        done += written;
    }
    pending_.clear();
}
