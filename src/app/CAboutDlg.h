// The About box: name, version and copyright.
#pragma once

#include "framework/Dialog.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();
};
