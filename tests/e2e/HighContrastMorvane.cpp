// morvane.exe as it runs while the system has high contrast on, for pictures
// of it: Wine cannot switch high contrast on, so this answers the program's
// one question for the system. Everything else is the program itself.
#include "app/CQueltApp.h"
#include "skin/HighContrast.h"

namespace {

BOOL WINAPI HighContrastIsOn(UINT action, UINT param, PVOID data, UINT flags) {
    if (action != SPI_GETHIGHCONTRAST)
        return SystemParametersInfoA(action, param, data, flags);
    static_cast<HIGHCONTRASTA*>(data)->dwFlags = HCF_HIGHCONTRASTON | HCF_AVAILABLE;
    return TRUE;
}

} // namespace

CQueltApp theApp;

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
    HighContrastQuery() = &HighContrastIsOn;
    return AfxWinMain(hInstance);
}
