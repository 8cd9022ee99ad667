#include "system/Executor.h"

#include "system/OfflineImage.h"
#include "system/Registry.h"
#include "system/Shell.h"

#include <algorithm>
#include <cstring>

Outcome OfflineOutcome(const Effect& run) {
    return {.status = run.service.empty() ? Outcome::NotOffline : Outcome::Deferred};
}

namespace {

bool NeedsRunningSystem(const Effect& e) {
    return e.kind == Effect::Run && e.service.empty();
}

Outcome Registry(LSTATUS status, bool deletes) {
    if (status == ERROR_SUCCESS)
        return {};
    // What a delete removes may be gone already.
    if (deletes && status == ERROR_FILE_NOT_FOUND)
        return {.status = Outcome::WasNotThere};
    return {.status = Outcome::Failed, .error = static_cast<DWORD>(status)};
}

} // namespace

Outcome Executor::StartAndLeave(const char* program, const char* parameters, int show) {
    const INT_PTR h = reinterpret_cast<INT_PTR>(ShellOpen(program, parameters, show));
    if (h > 32)
        return {};
    return {.status = Outcome::Failed, .error = static_cast<DWORD>(h)};
}

Outcome Executor::StartAndWait(const char* program, const char* parameters, int show) {
    RunResult r = g_pfnRunAndWait(program, parameters, show, kProgramWaitMs);
    switch (r.outcome) {
    case RunResult::Ended:
        return {.status = r.exitCode == 0 ? Outcome::Done : Outcome::ExitCode,
                .ended = true,
                .exitCode = r.exitCode,
                .output = std::move(r.output)};
    case RunResult::NotStarted:
        return {.status = Outcome::Failed, .error = r.error};
    case RunResult::StillRunning:
        break;
    }
    return {.status = Outcome::StillRunning, .output = std::move(r.output)};
}

namespace {

// Performs one effect with the calls its kind makes.
class Performer : public EffectVisitor {
public:
    explicit Performer(Executor& executor) : m_executor(executor) {}
    LSTATUS status = ERROR_SUCCESS;
    bool deletes = false; // what it removes may be gone already
    bool ran = false;     // a program: its outcome is `started`
    Outcome started;

    void SetValue(const Effect& e) override {
        const bool dword = e.type == REG_DWORD;
        const void* data = dword ? static_cast<const void*>(&e.number) : e.text;
        const DWORD size = dword ? sizeof(DWORD) : static_cast<DWORD>(strlen(e.text) + 1);
        status = SetUserValue(e.root, Key(e.key), e.name, e.type, data, size);
    }
    void DeleteValue(const Effect& e) override {
        status = DeleteRegValue(e.root, Key(e.key), e.name);
        deletes = true;
    }
    void CreateClassKey(const Effect& e) override {
        status = CreateRegClassKey(Key(e.key), e.text);
    }
    void DeleteClassKey(const Effect& e) override {
        status = DeleteRegClassKey(Key(e.key));
        deletes = true;
    }
    void Run(const Effect& e) override {
        started = m_executor.Start(*e.phrase);
        ran = true;
    }

private:
    Executor& m_executor;
};

} // namespace

Outcome Executor::Perform(const Effect& effect) {
    if (effect.kind == Effect::Run && OfflineImageOpen())
        return OfflineOutcome(effect);
    Performer performer(*this);
    Visit(effect, performer);
    return performer.ran ? std::move(performer.started)
                         : Registry(performer.status, performer.deletes);
}

Outcome Executor::Perform(const Phrase& phrase) {
    return Perform(EffectOf(phrase));
}

Steps Executor::Perform(const Cell& cell, Policy policy) {
    Effects effects = EffectsOf(cell);
    const bool refused =
        OfflineImageOpen() && std::any_of(effects.begin(), effects.end(), NeedsRunningSystem);
    Steps steps;
    bool failed = false;
    for (Effect& effect : effects) {
        Step& step = steps.emplace_back(Step{.effect = std::move(effect)});
        if (refused) {
            step.performed = NeedsRunningSystem(step.effect);
            if (step.performed)
                step.outcome.status = Outcome::NotOffline;
            continue;
        }
        if (failed && policy == Policy::StopAtFailure)
            continue;
        step.performed = true;
        step.outcome = Perform(step.effect);
        failed = failed || !step.outcome.Succeeded();
    }
    return steps;
}

Outcome Executor::Start(const Phrase& p) {
    return m_start(p.program, Parameters(p).c_str(), p.show);
}

std::string Executor::Parameters(const Phrase& p) {
    return RunParameters(p, p.systemFile ? SystemFolder() : std::string());
}

const std::string& Executor::SystemFolder() {
    if (!m_folderKnown) {
        m_systemFolder = ::SystemFolder();
        m_folderKnown = true;
    }
    return m_systemFolder;
}
