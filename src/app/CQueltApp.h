// The application: prepares the common controls and the skin, then runs the
// main dialog; the program ends when it closes.
#pragma once

#include "framework/App.h"

class CQueltApp : public CWinApp {
public:
    BOOL InitInstance() override;
};
