#include "system/Effects.h"

#include <cstring>
#include <iterator>

namespace {

// The kind of effect each kind of phrase makes, in the order of PhraseKind.
constexpr Effect::Kind kKindOf[] = {Effect::SetValue,       Effect::SetValue,
                                    Effect::DeleteValue,    Effect::CreateClassKey,
                                    Effect::DeleteClassKey, Effect::Run};
static_assert(std::size(kKindOf) == static_cast<size_t>(PhraseKind::Run) + 1);

DWORD TypeOf(PhraseKind kind) {
    if (kind == PhraseKind::SetDword)
        return REG_DWORD;
    return kind == PhraseKind::SetString ? REG_SZ : REG_NONE;
}

// The two phrases of a service setting, as the table marks them: the start
// type's write directly followed by net.exe for the same service.
void MarkService(Effect& write, Effect& run) {
    const Phrase& w = *write.phrase;
    const Phrase& r = *run.phrase;
    if (!w.service || !r.service || w.kind != PhraseKind::SetDword || r.kind != PhraseKind::Run ||
        strcmp(w.service, r.service) != 0)
        return;
    write.service = run.service = w.service;
    write.start = run.start = r.start;
}

// Sets an effect's fields from its phrase, in place: no copy of an effect.
void Fill(Effect& e, const Phrase& p) {
    e.kind = kKindOf[static_cast<int>(p.kind)];
    e.phrase = &p;
    e.root = p.root;
    e.key = e.kind == Effect::Run ? nullptr : KeyPath(p.key);
    e.name = p.name ? p.name : "";
    e.type = TypeOf(p.kind);
    e.number = p.kind == PhraseKind::SetDword ? p.number : 0;
    e.text = p.kind == PhraseKind::SetString || e.kind == Effect::CreateClassKey ? p.text : nullptr;
}

} // namespace

Effect EffectOf(const Phrase& p) {
    Effect e;
    Fill(e, p);
    return e;
}

Effects EffectsOf(const Cell& cell) {
    Effects effects(cell.size());
    size_t i = 0;
    for (const Phrase& p : cell) {
        Fill(effects[i], p);
        if (i > 0)
            MarkService(effects[i - 1], effects[i]);
        ++i;
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

void VisitAll(std::span<const Effect> effects, EffectVisitor& visitor) {
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
