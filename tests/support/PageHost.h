// Creates a tweak page as the program does, as a child dialog, in a sandboxed
// registry, with the shell recorded.
#pragma once

#include "framework/Wnd.h"
#include "support/RegistrySandbox.h"
#include "support/ShellRecorder.h"

#include <memory>
#include <string>
#include <vector>

class CTweakPage;

// A hidden top-level window standing in for the page container.
class ParentWindow : public CWnd {
public:
    ParentWindow();
    ~ParentWindow() override;
};

template <class Page> struct HostedPage {
    ParentWindow parent;
    std::unique_ptr<Page> page;
    HWND hWnd = nullptr;

    HostedPage(UINT templateId) : page(std::make_unique<Page>(&parent)) {
        if (page->Create(templateId, &parent))
            hWnd = page->m_hWnd;
    }
};

// The tooltip window a page made, and the text of the tool for a control.
HWND TooltipOf(HWND hPage);
std::string TooltipText(HWND hTooltip, HWND hControl);
