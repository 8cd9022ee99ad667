// export reg: what apply of the preset sets and deletes as a .reg file that
// the system's reg import and regedit take (UTF-16LE with its byte-order
// mark, CR LF). Starting or stopping a service and running a program are
// beyond a .reg file: they are named in comments and on standard error.
#include "ctl/exports/ExportFormats.h"

#include "ctl/formats/Coverage.h"
#include "ctl/formats/RegFile.h"
#include "ctl/output/Text.h"
#include "ctl/output/Words.h"

#include <windows.h>

namespace {

constexpr Utf16Char kEol[] = UTF16("\r\n");

// A .reg file names a key by its root; a profile file has none (the
// format's row refuses that target).
constexpr const char* kRoots[kHives] = {"HKEY_LOCAL_MACHINE", "HKEY_CLASSES_ROOT",
                                        "HKEY_CURRENT_USER", "HKEY_USERS", nullptr};

RegData Data(const Effect& e) {
    RegData data{.type = e.type};
    if (e.type == REG_DWORD) {
        for (int b = 0; b < 4; ++b)
            data.bytes += static_cast<char>(e.number >> (8 * b) & 0xFF);
        return data;
    }
    for (Utf16Char unit : Wide(e.text) + Utf16Char(0)) {
        data.bytes += static_cast<char>(unit & 0xFF);
        data.bytes += static_cast<char>(unit >> 8 & 0xFF);
    }
    return data;
}

class Sections : public ExportVisitor {
public:
    Sections(const ExportTarget& target, std::string* notes) : target_(target), notes_(notes) {}
    Utf16String text, comments;

    void SetValue(const Effect& e) override { Line(e, RegLine(Wide(e.name), Data(e))); }
    void DeleteValue(const Effect& e) override { Line(e, RegDeletionLine(Wide(e.name))); }
    void CreateClassKey(const Effect& e) override {
        Line(e, RegLine(Utf16String(), Data({.type = REG_SZ, .text = e.text})));
    }
    void DeleteClassKey(const Effect& e) override {
        text += (open_.empty() ? UTF16("") : kEol) + (UTF16("[-") + Key(e) + UTF16("]")) + kEol;
        open_.clear();
    }
    void Run(const Effect& e) override {
        Cannot(Title() + ": " + EffectWords(e) + " (a program run, such as a DLL registration)");
    }
    bool Makes(const Effect&) const override { return false; }
    void Cannot(const std::string& what) override {
        comments += Wide("; morvanectl: not expressible in a .reg file: " + what) + kEol;
        *notes_ += "morvanectl: reg cannot express " + what + "\n";
    }
    // The start type is the setting; the start or stop itself is beyond the file.
    void Service(const Effect& write, const Effect& run) override {
        SetValue(write);
        Cannot(Title() + ": " + EffectWords(run) + " (" + (run.start ? "starting" : "stopping") +
               " the service; its start type is written)");
    }

private:
    const ExportTarget& target_;
    std::string* notes_;
    Utf16String open_; // the section that the last line went to

    Utf16String Key(const Effect& e) const {
        const Place place = PlaceOf(e, target_);
        return Wide(std::string(kRoots[place.hive]) + "\\" + place.key);
    }
    // Lines of one key after another go into one section.
    void Line(const Effect& e, const Utf16String& line) {
        const Utf16String key = Key(e);
        if (key != open_)
            text += (open_.empty() ? UTF16("") : kEol) + (UTF16("[") + key + UTF16("]")) + kEol;
        open_ = key;
        text += line + kEol;
    }
};

} // namespace

std::vector<ExportFile> RegExport(const ExportInput& input, std::string* notes) {
    Sections sections(input.target, notes);
    VisitLines(input.lines, sections);
    Utf16String file = Utf16String(kRegHeader) + kEol + kEol;
    file += Wide("; morvanectl export reg: what \"morvanectl apply\" of the preset sets and "
                 "deletes.") +
            kEol;
    file += Wide("; Import: reg import FILE or regedit /s FILE. A value's deletion creates its "
                 "key when it is missing.") +
            kEol;
    file += sections.comments + kEol + sections.text;
    return {{"", FileBytes(file)}};
}
