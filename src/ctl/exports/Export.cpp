// The export command: the table of formats, the checks of its words and of
// the texts it writes, and the writing of what an emitter made.
#include "ctl/exports/Export.h"

#include "ctl/exports/ExportFormats.h"
#include "ctl/formats/Files.h"
#include "ctl/exports/GppFile.h"
#include "ctl/output/Text.h"
#include "ctl/output/Words.h"

#include <windows.h>

#include <cstdio>

namespace {

// One format: adding a format is its emitter and a row here.
struct ExportFormat {
    const char* name;
    enum Out { File, Folder, FileOrOutput } out;
    const char* what;    // what it writes, for the help
    const char* outHelp; // what OUT is, for the help
    const char* needs;   // the usage error without OUT
    const char* into;    // what the texts from outside are written into
    const char* cannot;  // what the format cannot express, for the help; "" for nothing
    const char* written; // the report once written, before OUT
    Emitter emit;
    // Why it cannot write for a profile file (--hive), or null when it can.
    const char* noProfileFile = nullptr;
    // Updates an existing file with what the emitter made (UpdateGppFile);
    // null when an existing file is replaced, and only with --force.
    std::string (*update)(std::string_view existing, std::string_view made,
                          std::string* updated) = nullptr;
};

// clang-format off
constexpr ExportFormat kFormats[] = {
    {"ansible", ExportFormat::FileOrOutput, "an Ansible playbook", "a file, else standard output",
     nullptr, "a playbook", "", "Playbook written to ", AnsibleExport},
    {"gpp", ExportFormat::Folder, "Group Policy preferences", "the GPO's folder",
     "the folder to write the Group Policy files in", "Group Policy files", "programs run",
     "Group Policy preferences written below ", GppExport,
     "Group Policy sends the per-user values to every user it reaches, and a profile file is "
     "none of them; export ansible loads it",
     UpdateGppFile},
    {"reg", ExportFormat::File, "a .reg file for reg import", "the file",
     "the .reg file to write", "a .reg file", "service starts/stops, programs run",
     "Registry file written to ", RegExport,
     "a .reg file names registry keys, and a profile file is no key until it is loaded; export "
     "ansible loads it"},
};
// clang-format on

const ExportFormat* FormatNamed(const std::string& name) {
    for (const ExportFormat& format : kFormats)
        if (name == format.name)
            return &format;
    return nullptr;
}

// Only the folders inside OUT are made: a mistyped folder above it is an error.
bool ParentExists(const std::string& out) {
    const size_t slash = out.find_last_of("\\/");
    return slash == std::string::npos || slash == 0 || out[slash - 1] == ':' ||
           FileExists(out.substr(0, slash));
}

// The first character that no export can hold as it is: a line break of
// YAML or a character that XML does not allow would change the file's
// meaning or break it.
std::string Unwritable(const std::string& text) {
    if (Utf16String wide; !WideFromUtf8(text, &wide))
        return "a byte that is not UTF-8";
    for (size_t at = 0; at < text.size();) {
        char32_t c;
        at += NextCodePoint(text, at, &c);
        if (IsControl(c) || c == 0xFEFF || c == 0xFFFE || c == 0xFFFF) {
            char name[16];
            snprintf(name, sizeof(name), "U+%04X", static_cast<unsigned>(c));
            return name;
        }
    }
    return {};
}

// Each file that exists already, updated with what the emitter made: the
// empty text, or why one of them cannot be.
std::string UpdateExisting(const ExportFormat& format, std::vector<ExportFile>* files) {
    for (ExportFile& file : *files) {
        std::string existing, updated;
        const DWORD status = ReadWholeFile(file.path, &existing);
        if (status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND)
            continue;
        if (status != ERROR_SUCCESS)
            return "cannot read " + file.path + ": " + ErrorText(status);
        if (const std::string why = format.update(existing, file.bytes, &updated); !why.empty())
            return file.path + " is not " + format.what + " that export " + format.name +
                   " can update: " + why;
        file.bytes = std::move(updated);
    }
    return {};
}

} // namespace

std::string ExportTextProblem(const std::vector<std::string>& words, const ExportTarget& target) {
    const ExportFormat& format = *FormatNamed(words[0]);
    // Only the playbook names the preset's path.
    const bool ansible = format.emit == AnsibleExport;
    const std::pair<const char*, std::string> written[] = {
        {"the preset's path", ansible ? words[1] : std::string()},
        {"the profile file's path", target.file},
        {"the SID", target.sid},
    };
    for (const auto& [what, text] : written)
        if (const std::string c = Unwritable(text); !c.empty())
            return std::string(what) + " \"" + text + "\" holds " + c +
                   ", which cannot be written safely into " + format.into +
                   "; nothing was exported";
    if (target.kind == ExportTarget::HiveFile && format.noProfileFile)
        return std::string("export ") + format.name +
               " cannot write for a profile file: " + format.noProfileFile +
               "; nothing was exported";
    return {};
}

std::string ExportProblem(const std::vector<std::string>& words) {
    const ExportFormat* format = FormatNamed(words[0]);
    if (!format)
        return "unknown export format \"" + words[0] + "\": " + ExportFormatNames(", ", " or ");
    if (format->out != ExportFormat::FileOrOutput && words.size() != 3)
        return std::string("export ") + format->name + " needs " + format->needs;
    return {};
}

std::string ExportFormatNames(const char* separator, const char* last) {
    std::string names;
    for (const ExportFormat& format : kFormats)
        names += (names.empty()                       ? ""
                  : &format == std::end(kFormats) - 1 ? last
                                                      : separator) +
                 std::string(format.name);
    return names;
}

int ExportCommand(const std::vector<std::string>& words, const std::vector<PresetLine>& lines,
                  const ExportTarget& target, bool replace, std::string* out, std::string* err) {
    const ExportFormat& format = *FormatNamed(words[0]);
    std::string notes;
    std::vector<ExportFile> files = format.emit({words[1], lines, target}, &notes);
    if (words.size() == 2) {
        *out += files[0].bytes;
        *err += notes;
        return 0;
    }
    for (ExportFile& file : files)
        file.path = file.path.empty() ? words[2] : words[2] + "\\" + file.path;
    if (format.update)
        if (const std::string why = UpdateExisting(format, &files); !why.empty()) {
            *err += "morvanectl: " + Escaped(why) + "; nothing was exported\n";
            return 2;
        }
    // A file is replaced only when asked; an updated one always.
    std::string failed = words[2];
    const DWORD status = !ParentExists(words[2])
                             ? ERROR_PATH_NOT_FOUND
                             : WriteFiles(files, replace || format.update, &failed);
    // These texts are lines: the paths in them are shown escaped here.
    if (status == ERROR_FILE_EXISTS || status == ERROR_ALREADY_EXISTS) {
        *err += "morvanectl: " + Escaped(failed) + " exists already; export " + format.name +
                " --force replaces it; nothing was exported\n";
        return 2;
    }
    if (status != ERROR_SUCCESS) {
        *err += "morvanectl: " + WriteFailure(status, Escaped(failed)) + "; nothing was exported\n";
        return 2;
    }
    *err += notes;
    *out += format.written + Escaped(words[2]) + "\n";
    return 0;
}

const char* ExportArguments() {
    static const std::string text = ExportFormatNames("|", "|") + " PRESET [OUT]";
    return text.c_str();
}

const char* ExportSummary() {
    static const std::string text = [] {
        std::string t = "the preset for the engines administrators run:";
        for (const ExportFormat& format : kFormats) {
            t += std::string("\n") + format.name + ": " + format.what + "\n  (OUT " +
                 format.outHelp + ")";
            if (*format.cannot)
                t += std::string("\n  cannot: ") + format.cannot;
        }
        return t;
    }();
    return text.c_str();
}
