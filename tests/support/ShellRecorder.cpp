#include "support/ShellRecorder.h"

#include "system/Shell.h"

std::vector<ShellRequest> ShellRecorder::s_requests;
int ShellRecorder::s_result = 42;

ShellRequest Started(const std::string& file, const std::string& parameters, int show) {
    return ShellRequest{false, false, file, parameters, false, show};
}

ShellRecorder::ShellRecorder() : m_previous(g_pfnShellExecute) {
    s_requests.clear();
    s_result = 42;
    g_pfnShellExecute = &ShellRecorder::Record;
}

ShellRecorder::~ShellRecorder() {
    g_pfnShellExecute = m_previous;
}

std::vector<ShellRequest> ShellRecorder::Take() {
    std::vector<ShellRequest> taken;
    taken.swap(s_requests);
    return taken;
}

HINSTANCE WINAPI ShellRecorder::Record(HWND hwnd, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                                       LPCSTR directory, INT show) {
    s_requests.push_back(ShellRequest{hwnd != nullptr, verb != nullptr, file ? file : "<null>",
                                      parameters ? parameters : "<null>", directory != nullptr,
                                      show});
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(s_result));
}
