// What a tweak's cell makes, read once from its phrases: every consumer
// (the executor behind a click and behind `set`, the words of a dry run, each
// export format, what a backup covers) walks the same list instead of
// interpreting the phrases again.
#pragma once

#include "system/Actions.h"

#include <span>
#include <string>
#include <vector>

// One phrase of a cell, with what it means made plain.
struct Effect {
    enum Kind {
        SetValue,       // root key : name = REG_DWORD number or REG_SZ text
        DeleteValue,    // root key : name
        CreateClassKey, // HKCR key (and the keys above it) with its default = text
        DeleteClassKey, // HKCR key with its subkeys
        Run,            // program parameters (+ system folder + system file)
    } kind = Run;
    const Phrase* phrase = nullptr; // the table's own phrase
    RegRoot root = HKCU;
    const char* key = nullptr;  // the store's path resolved; null for Run
    const char* name = "";      // "" for the default value
    DWORD type = REG_NONE;      // SetValue: REG_DWORD or REG_SZ
    DWORD number = 0;           // SetValue REG_DWORD
    const char* text = nullptr; // SetValue REG_SZ, CreateClassKey
    // A service setting, as the table marks it (ServiceStartType directly
    // followed by ServiceCommand for the same service). Set on both effects.
    std::string service; // empty when not part of one
    bool start = false;  // started, else stopped
};

using Effects = std::vector<Effect>;

// One phrase's effect on its own, never part of a service setting.
Effect EffectOf(const Phrase& phrase);

// The effects of a cell, in its order.
Effects EffectsOf(const Cell& cell);

// What a consumer does with each kind of effect. The list walk hands a
// service setting over whole; its default takes the two effects one by one.
class EffectVisitor {
public:
    virtual ~EffectVisitor() = default;
    virtual void SetValue(const Effect& e) = 0;
    virtual void DeleteValue(const Effect& e) = 0;
    virtual void CreateClassKey(const Effect& e) = 0;
    virtual void DeleteClassKey(const Effect& e) = 0;
    virtual void Run(const Effect& e) = 0;
    // The start type's write, then the net.exe run.
    virtual void Service(const Effect& write, const Effect& run) {
        SetValue(write);
        Run(run);
    }
};

// The one dispatch on an effect's kind.
void Visit(const Effect& e, EffectVisitor& visitor);
// Each effect in order, a service setting as one call of Service.
void VisitAll(std::span<const Effect> effects, EffectVisitor& visitor);
