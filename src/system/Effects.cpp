#include "system/Effects.h"

#include <cstring>

namespace {

constexpr char kServicesKey[] = "System\\CurrentControlSet\\Services\\";
constexpr size_t kServicesKeyLength = sizeof(kServicesKey) - 1;

// The kind of effect each kind of phrase makes, in the order of PhraseKind.
constexpr Effect::Kind kKindOf[] = {Effect::SetValue,       Effect::SetValue,
                                    Effect::DeleteValue,    Effect::CreateClassKey,
                                    Effect::DeleteClassKey, Effect::Run};

DWORD TypeOf(PhraseKind kind) {
    if (kind == PhraseKind::SetDword)
        return REG_DWORD;
    return kind == PhraseKind::SetString ? REG_SZ : REG_NONE;
}

// A service's start type written just before net.exe starts or stops that
// same service: the two make one service setting.
void MarkService(Effect& write, Effect& run) {
    if (write.kind != Effect::SetValue || write.type != REG_DWORD || write.root != HKLM ||
        _strnicmp(write.key, kServicesKey, kServicesKeyLength) != 0 ||
        _stricmp(write.name, "Start") != 0 || run.kind != Effect::Run ||
        _stricmp(run.phrase->program, "net.exe") != 0 || run.phrase->systemFile)
        return;
    const std::string service = write.key + kServicesKeyLength;
    for (const bool start : {true, false})
        if (std::string(run.phrase->text) ==
            std::string(start ? "START" : "STOP") + " \"" + service + "\"") {
            write.service = run.service = service;
            write.start = run.start = start;
        }
}

} // namespace

Effect EffectOf(const Phrase& p) {
    const Effect::Kind kind = kKindOf[static_cast<int>(p.kind)];
    const bool run = kind == Effect::Run;
    const bool text = p.kind == PhraseKind::SetString || kind == Effect::CreateClassKey;
    return {.kind = kind,
            .phrase = &p,
            .root = p.root,
            .key = run ? nullptr : KeyPath(p.key),
            .name = p.name ? p.name : "",
            .type = TypeOf(p.kind),
            .number = p.kind == PhraseKind::SetDword ? p.number : 0,
            .text = text ? p.text : nullptr};
}

Effects EffectsOf(const Cell& cell) {
    Effects effects;
    for (const Phrase& p : cell) {
        effects.push_back(EffectOf(p));
        if (effects.size() >= 2)
            MarkService(effects[effects.size() - 2], effects.back());
    }
    return effects;
}

void Visit(const Effect& e, EffectVisitor& visitor) {
    switch (e.kind) {
    case Effect::SetValue:
        return visitor.SetValue(e);
    case Effect::DeleteValue:
        return visitor.DeleteValue(e);
    case Effect::CreateClassKey:
        return visitor.CreateClassKey(e);
    case Effect::DeleteClassKey:
        return visitor.DeleteClassKey(e);
    case Effect::Run:
        return visitor.Run(e);
    }
}

void VisitAll(const Effects& effects, EffectVisitor& visitor) {
    for (size_t i = 0; i < effects.size(); ++i) {
        const bool pair = !effects[i].service.empty() && i + 1 < effects.size() &&
                          effects[i].kind == Effect::SetValue;
        if (pair) {
            visitor.Service(effects[i], effects[i + 1]);
            ++i;
        } else {
            Visit(effects[i], visitor);
        }
    }
}
