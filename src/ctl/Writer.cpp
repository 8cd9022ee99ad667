#include "ctl/Writer.h"

namespace {
constexpr size_t kFlushAt = 16384;
}

Writer::Writer(HANDLE file, Buffering buffering) : file_(file), buffering_(buffering) {}

Writer::Writer(std::string* kept) : kept_(kept) {}

Writer::~Writer() {
    Flush();
}

Writer& Writer::operator<<(std::string_view text) {
    if (kept_) {
        kept_->append(text);
        return *this;
    }
    for (char c : text) {
        if (c == '\n')
            pending_ += '\r';
        pending_ += c;
    }
    if (pending_.size() >= kFlushAt ||
        (buffering_ == LineBuffer && text.find('\n') != std::string_view::npos))
        Flush();
    return *this;
}

void Writer::Flush() {
    // A closed or missing handle loses the text, as a closed stream would.
    size_t done = 0;
    while (done < pending_.size()) {
        DWORD written = 0;
        if (!WriteFile(file_, pending_.data() + done, static_cast<DWORD>(pending_.size() - done),
                       &written, nullptr) ||
            written == 0)
            break;
        done += written;
    }
    pending_.clear();
}
