#include "ctl/exports/GppFile.h"

#include "ctl/output/Text.h"

#include <vector>

namespace {

constexpr size_t kNone = std::string_view::npos;
constexpr char kCutShort[] = "cut short";
constexpr char kMalformed[] = "not well-formed XML";
// Collections in collections go a few levels deep, never this deep.
constexpr size_t kDeepest = 64;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsNameChar(char c) {
    return !IsSpace(c) && std::string_view("<>/=\"'&!?;").find(c) == kNone;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; };
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i]))
            return false;
    return true;
}

// A reference is a name or a character number, then ';'.
bool References(std::string_view text) {
    for (size_t amp = text.find('&'); amp != kNone; amp = text.find('&', amp + 1)) {
        const size_t semi = text.find_first_not_of(
            "#0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", amp + 1);
        if (semi == kNone || text[semi] != ';' || semi == amp + 1)
            return false;
    }
    return true;
}

// A note export gpp wrote: a comment whose text starts "morvanectl:".
bool OwnNote(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    return first != kNone && text.substr(first).starts_with("morvanectl:");
}

// The root and what lies directly inside it: every piece that is not ours
// (an element, comment, processing instruction with the spaces before it).
struct Document {
    std::string_view root, clsid;
    size_t open = 0;    // just after the root's start tag
    bool empty = false; // <Root/>
    size_t close = 0;   // the root's end tag
    std::string others;
};

struct Tag {
    std::string_view name, uid, clsid;
    bool empty = false;
};

class Reader {
public:
    explicit Reader(std::string_view text) : t_(text) {}
    bool Read(Document* d);
    // "line 3: cut short"
    std::string Why() const;

private:
    std::string_view t_;
    size_t at_ = 0;
    const char* fault_ = kMalformed;

    bool Fail(const char* what) {
        fault_ = what;
        return false;
    }
    bool CutShort() {
        at_ = t_.size();
        return Fail(kCutShort);
    }
    std::string_view Rest() const { return t_.substr(at_); }
    std::string_view Name();
    void SkipSpace() {
        while (at_ < t_.size() && IsSpace(t_[at_]))
            ++at_;
    }
    bool Skip();
    bool Attribute(Tag* tag);
    bool StartTag(Tag* tag);
    bool Misc();
    bool Content(Document* d);
};

std::string Reader::Why() const {
    size_t line = 1;
    for (size_t i = 0; i < at_; ++i)
        line += t_[i] == '\n';
    return "line " + std::to_string(line) + ": " + fault_;
}

std::string_view Reader::Name() {
    const size_t begin = at_;
    while (at_ < t_.size() && IsNameChar(t_[at_]))
        ++at_;
    return t_.substr(begin, at_ - begin);
}

// Past the comment, processing instruction or CDATA section at at_.
bool Reader::Skip() {
    static constexpr std::string_view kMarks[][2] = {
        {"<!--", "-->"}, {"<?", "?>"}, {"<![CDATA[", "]]>"}};
    for (const auto& [start, end] : kMarks)
        if (Rest().starts_with(start)) {
            const size_t found = t_.find(end, at_ + start.size());
            if (found == kNone)
                return CutShort();
            at_ = found + end.size();
            return true;
        }
    return Fail(Rest().starts_with("<!DOCTYPE")
                    ? "a document type, which preference files never have"
                    : kMalformed);
}

bool Reader::Attribute(Tag* tag) {
    const std::string_view name = Name();
    SkipSpace();
    if (at_ < t_.size() && t_[at_] == '=')
        ++at_;
    else if (at_ < t_.size())
        return Fail(kMalformed);
    SkipSpace();
    if (at_ >= t_.size())
        return CutShort();
    const char quote = t_[at_];
    const size_t end = t_.find(quote, at_ + 1);
    if (end == kNone)
        return CutShort();
    const std::string_view value = t_.substr(at_ + 1, end - at_ - 1);
    if (name.empty() || (quote != '"' && quote != '\'') || value.find('<') != kNone ||
        !References(value))
        return Fail(kMalformed);
    if (name == "uid")
        tag->uid = value;
    else if (name == "clsid")
        tag->clsid = value;
    at_ = end + 1;
    return true;
}

bool Reader::StartTag(Tag* tag) {
    ++at_;
    tag->name = Name();
    for (;;) {
        const size_t before = at_;
        SkipSpace();
        if (at_ >= t_.size())
            return CutShort();
        if (t_[at_] == '>' || Rest().starts_with("/>")) {
            tag->empty = t_[at_] == '/';
            at_ += tag->empty ? 2 : 1;
            return !tag->name.empty() || Fail(kMalformed);
        }
        if (at_ == before)
            return Fail(kMalformed);
        if (!Attribute(tag))
            return false;
    }
}

// Spaces, comments and processing instructions, before and after the root.
bool Reader::Misc() {
    for (SkipSpace(); Rest().starts_with("<!") || Rest().starts_with("<?"); SkipSpace())
        if (!Skip())
            return false;
    return true;
}

// Everything inside the root, without recursion: what is open is a list.
// A piece directly inside is ours by an item's id or a note's first word.
// A comment inside an item belongs to the item.
bool Reader::Content(Document* d) {
    std::vector<std::string_view> open{d->root};
    size_t end = at_; // where the last piece ended
    bool own = false;
    for (;;) {
        const size_t lt = t_.find('<', at_);
        if (lt == kNone)
            return CutShort();
        const std::string_view text = t_.substr(at_, lt - at_);
        const bool top = open.size() == 1;
        if ((top && text.find_first_not_of(" \t\r\n") != kNone) || !References(text))
            return Fail(top ? "text between the items" : kMalformed);
        at_ = lt;
        if (Rest().starts_with("</")) {
            at_ += 2;
            const bool same = Name() == open.back();
            SkipSpace();
            if (at_ >= t_.size())
                return CutShort();
            if (!same || t_[at_++] != '>')
                return Fail(kMalformed);
            open.pop_back();
            if (open.empty()) {
                d->close = lt;
                return true;
            }
        } else if (Rest().starts_with("<!") || Rest().starts_with("<?")) {
            const bool comment = Rest().starts_with("<!--");
            if (!Skip())
                return false;
            if (top)
                own = comment && OwnNote(t_.substr(lt + 4, at_ - lt - 7));
        } else {
            Tag tag;
            if (!StartTag(&tag))
                return false;
            if (top)
                own = SameIgnoringCase(tag.uid.substr(0, sizeof(kOwnGppUid) - 1), kOwnGppUid);
            if (!tag.empty && open.size() >= kDeepest)
                return Fail("elements nested deeper than preference files go");
            if (!tag.empty)
                open.push_back(tag.name);
        }
        if (open.size() == 1) {
            if (!own)
                d->others += t_.substr(end, at_ - end);
            end = at_;
        }
    }
}

bool Reader::Read(Document* d) {
    if (Utf16String wide; !WideFromUtf8(t_, &wide))
        return Fail("not UTF-8 text");
    for (char c : t_)
        if (static_cast<unsigned char>(c) < 0x20 && !IsSpace(c))
            return Fail("a control character, which XML does not allow");
    at_ = t_.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    if (!Misc())
        return false;
    if (at_ >= t_.size())
        return CutShort();
    Tag root;
    if (t_[at_] != '<' || !StartTag(&root))
        return Fail(fault_);
    d->root = root.name;
    d->clsid = root.clsid;
    d->open = d->close = at_;
    d->empty = root.empty;
    if ((!root.empty && !Content(d)) || !Misc())
        return false;
    return at_ >= t_.size() || Fail(kMalformed);
}

} // namespace

std::string UpdateGppFile(std::string_view existing, std::string_view fresh, std::string* updated) {
    Document old, made;
    Reader reader(existing);
    if (!reader.Read(&old))
        return reader.Why();
    Reader(fresh).Read(&made);
    if (old.root != made.root || !SameIgnoringCase(old.clsid, made.clsid))
        return "its root element is not <" + std::string(made.root) + "> of class " +
               std::string(made.clsid);
    std::string out(existing.substr(0, old.open - 2 * old.empty));
    if (old.empty)
        out += ">";
    out += old.others;
    out += fresh.substr(made.open, made.close - made.open);
    if (old.empty)
        out += "</" + std::string(old.root) + ">";
    out += existing.substr(old.empty ? old.open : old.close);
    *updated = std::move(out);
    return {};
}
