// A control-less child dialog that holds pages by index, lays them out and
// shows one at a time. It refers to its pages; their owner deletes them.
#pragma once

#include "framework/Dialog.h"

#include <map>

class CTabDialog : public CDialog {
public:
    CTabDialog(UINT nIDTemplate, CWnd* pParent);
    ~CTabDialog() override;

    // The page gets the next index.
    BOOL AddPage(CDialog* pPage);
    // Every page at 0, 0 in the given size; page 0 alone is shown. A missing
    // page ends the walk.
    void LayoutPages(int cx, int cy);
    void HideAllPages();

    int m_nPageCount = 0;
    std::map<int, CDialog*> m_mapPages;
};
