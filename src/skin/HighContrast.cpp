#include "skin/HighContrast.h"

ParametersInfoFn& HighContrastQuery() {
    static ParametersInfoFn query = &SystemParametersInfoA;
    return query;
}

// A system that cannot answer has no high contrast to honour.
bool HighContrastOn() {
    HIGHCONTRASTA hc{sizeof(hc)};
    return HighContrastQuery()(SPI_GETHIGHCONTRAST, sizeof(hc), &hc, 0) &&
           (hc.dwFlags & HCF_HIGHCONTRASTON);
}
