#include "ctl/output/Console.h"

ErrorLine::~ErrorLine() {
    const bool ended = !text_.empty() && text_.back() == '\n';
    err_ << std::string_view(text_).substr(0, text_.size() - ended) << (ended ? "\n" : "");
}
