#include "system/Actions.h"

#include "system/Registry.h"
#include "system/Shell.h"

#include <cstring>

namespace {

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

Outcome Executor::Perform(const Phrase& p) {
    const Key key(p.key);
    switch (p.kind) {
    case PhraseKind::SetDword:
        return Registry(SetUserValue(p.root, key, p.name, REG_DWORD, &p.number, sizeof(p.number)),
                        false);
    case PhraseKind::SetString:
        return Registry(
            SetUserValue(HKCU, key, p.name, REG_SZ, p.text, static_cast<DWORD>(strlen(p.text) + 1)),
            false);
    case PhraseKind::DeleteValue:
        return Registry(DeleteRegValue(p.root, key, p.name), true);
    case PhraseKind::CreateClassKey:
        return Registry(CreateRegClassKey(key, p.text), false);
    case PhraseKind::DeleteClassKey:
        return Registry(DeleteRegClassKey(key), true);
    case PhraseKind::Run:
        return m_start(p.program, Parameters(p).c_str(), p.show);
    }
    return Registry(ERROR_INVALID_FUNCTION, false);
}

void Executor::Perform(const Cell& cell) {
    for (const Phrase& phrase : cell)
        Perform(phrase);
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

std::string RunParameters(const Phrase& p, const std::string& systemFolder) {
    std::string parameters = p.text;
    if (p.systemFile)
        parameters += systemFolder + p.systemFile;
    return parameters;
}

bool Holds(const Condition& c) {
    switch (c.kind) {
    case Condition::DwordEquals:
        return ReadRegDword(c.key, c.name, c.defaultValue, c.search) == c.number;
    case Condition::DwordDiffers:
        return ReadRegDword(c.key, c.name, c.defaultValue, c.search) != c.number;
    case Condition::StringEquals:
        return ReadRegString(c.name, c.key) == c.text;
    }
    return false;
}

bool Holds(const Conditions& conditions) {
    for (const Condition& c : conditions)
        if (!Holds(c))
            return false;
    return true;
}
