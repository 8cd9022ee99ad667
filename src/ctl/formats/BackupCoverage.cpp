#include "ctl/formats/BackupCoverage.h"

#include "ctl/output/Text.h"
#include "system/Effects.h"
#include "system/OfflineImage.h"
#include "system/UserHive.h"
#include "tweaks/Tweaks.h"

namespace {

// Adds what each effect writes. Keys differing only in case are one key;
// a value that no row writes needs restoring only when it exists.
class Covering : public EffectVisitor {
public:
    explicit Covering(Coverage& coverage) : c(coverage) {}

    void Add(RegRoot root, const char* key, const char* name, bool written) {
        const std::wstring path = Wide(KeyPath(key));
        const std::wstring value = Wide(name ? name : "");
        for (CoveredKey& k : c.keys)
            if (k.root == root && SameKeyName(k.key, path)) {
                for (auto& [n, w] : k.names)
                    if (SameKeyName(n, value)) {
                        w = w || written;
                        return;
                    }
                k.names.emplace_back(value, written);
                return;
            }
        c.keys.push_back({root, path, {{value, written}}});
    }

    void SetValue(const Effect& e) override { Add(e.root, e.key, e.name, true); }
    void DeleteValue(const Effect& e) override { Add(e.root, e.key, e.name, true); }
    void CreateClassKey(const Effect& e) override {
        std::wstring key = Wide(e.key);
        if (c.TreeOf(key))
            c.createdClassKeys.push_back(std::move(key));
        else
            Add(e.root, e.key, "", true);
    }
    // Gathered before any other effect: see BackupCoverage.
    void DeleteClassKey(const Effect&) override {}
    void Run(const Effect&) override {}

private:
    Coverage& c;
};

} // namespace

bool SameKeyName(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

Coverage BackupCoverage() {
    Coverage c;
    c.userRoot = Wide(CurrentUserRootText());
    if (OfflineImageOpen()) {
        c.machineRoot = kImageMachineRoot;
        c.classesRoot = kImageClassesRoot;
    }
    // The class trees first: a key a tweak creates inside one goes with it.
    for (const TweakTable& table : TweakTables())
        for (const TweakRow& row : table.rows)
            for (const Cell* cell : {&row.onCheck, &row.onUncheck})
                for (const Effect& e : EffectsOf(*cell))
                    if (e.kind == Effect::DeleteClassKey && !c.TreeOf(Wide(e.key)))
                        c.classTrees.push_back(Wide(e.key));
    Covering covering(c);
    for (const TweakTable& table : TweakTables())
        for (const TweakRow& row : table.rows) {
            for (const Condition& condition : row.checkedWhen)
                for (const RegRoot root : ReadOf(condition).Roots())
                    covering.Add(root, condition.key, condition.name, false);
            for (const Cell* cell : {&row.onCheck, &row.onUncheck})
                for (const Effect& e : EffectsOf(*cell))
                    Visit(e, covering);
        }
    return c;
}
