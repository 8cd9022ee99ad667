// What the export formats share: the walk over a preset's effects, where a
// value goes for the export's target, the start types by name, and the
// emitters themselves. Each format is one emitter file and one row of the
// table in Export.cpp.
#pragma once

#include "ctl/exports/ExportTarget.h"
#include "ctl/formats/FileWriting.h"
#include "ctl/formats/Preset.h"
#include "system/Effects.h"

#include <string>
#include <vector>

// One file an export writes: its path below OUT (empty for OUT itself) and
// its bytes; the command makes the path whole before writing.
using ExportFile = FileToWrite;

struct ExportInput {
    const std::string& presetPath;
    const std::vector<PresetLine>& lines;
    const ExportTarget& target;
};

// An emitter's files; what the format cannot express goes to *notes, one
// "morvanectl: ..." line each.
using Emitter = std::vector<ExportFile> (*)(const ExportInput& input, std::string* notes);

std::vector<ExportFile> AnsibleExport(const ExportInput& input, std::string* notes);
std::vector<ExportFile> GppExport(const ExportInput& input, std::string* notes);
std::vector<ExportFile> RegExport(const ExportInput& input, std::string* notes);

// An emitter's view of the walk: the preset line whose effects it is given.
class ExportVisitor : public EffectVisitor {
public:
    const PresetLine* line = nullptr;
    // "general/compressed-folders on"
    std::string Title() const;
    // Whether the format makes this program run.
    virtual bool Makes(const Effect& /*run*/) const { return true; }
    // Names what the format cannot express, in its file and on standard error.
    virtual void Cannot(const std::string& /*what*/) {}
};

// Every line's effects in the preset's order, the visitor's line set for
// each. What follows a program run that the format cannot make is left out
// and named, as apply leaves it out when a run fails: it would record a
// state that never came about (Compressed Folders' value without its DLL
// registered).
void VisitLines(const std::vector<PresetLine>& lines, ExportVisitor& visitor);

// morvanectl's own words for a service setting.
std::string ServiceWords(const Effect& write, const Effect& run);

// Where a value goes for the target. The per-user root is the connecting
// user's, the named user's under HKEY_USERS (the key then starts with the
// SID), or the profile file's.
struct Place {
    enum Hive { LocalMachine, ClassesRoot, CurrentUser, Users, ProfileFile } hive;
    std::string key;
};
inline constexpr int kHives = Place::ProfileFile + 1;
Place PlaceOf(const Effect& e, const ExportTarget& target);

// A service's start type by the names the engines give it; null when the
// number has none.
struct StartType {
    unsigned long number;
    const char* ansible; // win_service start_mode
    const char* gpp;     // NTService startupType
};
const StartType* StartTypeOf(unsigned long number);
