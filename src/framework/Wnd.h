// A thin layer over real windows: CWnd holds an HWND and routes messages
// through static per-class message maps.
#pragma once

#include <windows.h>
#include <commctrl.h>

class CWnd;
struct AccessibleText;

// The handler signatures the program uses.
enum class MsgSig { end, vv, vNotify, vSysCommand, hQueryDragIcon, bSetCursor };

union MsgHandler {
    void (CWnd::*vv)();
    void (CWnd::*vNotify)(NMHDR*, LRESULT*);
    void (CWnd::*vSysCommand)(UINT, LPARAM);
    HCURSOR (CWnd::*hQueryDragIcon)();
    BOOL (CWnd::*bSetCursor)(HWND, UINT, UINT);
};

// One entry matches a message, and for WM_COMMAND and WM_NOTIFY also the
// control id and notification code.
struct MessageMapEntry {
    UINT message;
    UINT code;
    UINT id;
    MsgSig sig;
    MsgHandler handler;
};

struct MessageMap {
    const MessageMap* (*pfnGetBase)();
    const MessageMapEntry* entries;
};

class CWnd {
public:
    CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    virtual ~CWnd();

    HWND m_hWnd = nullptr;

    // Our object for a window, or null when the window is not one of ours.
    static CWnd* FromHandlePermanent(HWND hWnd);

    // Binds a template control; a control that handles its own messages
    // subclasses its window instead.
    virtual void BindControl(HWND hWnd) { m_hWnd = hWnd; }
    BOOL SubclassWindow(HWND hWnd);

    virtual BOOL PreTranslateMessage(MSG* pMsg);
    // What one of its controls tells a screen reader beyond what the system
    // says of it; false leaves the system's answer.
    virtual bool DescribeControl(int /*id*/, AccessibleText& /*text*/) const { return false; }
    // Runs once, at the first WM_GETOBJECT that reaches any window of ours, so
    // that a start-up nobody reads pays nothing for screen readers. It returns
    // true when the window asked has a new answer: the question is then put
    // to it again.
    using FirstQuestionHandler = bool (*)(HWND hAsked);
    static void OnFirstScreenReaderQuestion(FirstQuestionHandler handler);

    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    BOOL ShowWindow(int nCmdShow) const { return ::ShowWindow(m_hWnd, nCmdShow); }
    BOOL SetWindowPos(HWND hWndInsertAfter, int x, int y, int cx, int cy, UINT flags) const {
        return ::SetWindowPos(m_hWnd, hWndInsertAfter, x, y, cx, cy, flags);
    }
    void GetWindowRect(RECT* rc) const { ::GetWindowRect(m_hWnd, rc); }
    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageA(m_hWnd, msg, wParam, lParam);
    }

    static const MessageMap* GetThisMessageMap();
    virtual const MessageMap* GetMessageMap() const { return GetThisMessageMap(); }

protected:
    // Routes one message through the message maps; true when a handler ran.
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // The default handling of the message being dispatched.
    LRESULT Default();

    void AttachPermanent(HWND hWnd);
    void DetachPermanent();

    struct CurrentMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    CurrentMessage m_current{};
    bool m_bDefaultRequested = false;
    WNDPROC m_pfnSuper = nullptr;

private:
    static bool AskedFirst(HWND hWnd, WPARAM wParam, LPARAM lParam, LRESULT& result);
    static LRESULT CALLBACK SubclassProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
};

// Message map macros, one entry per control and notification.
#define DECLARE_MESSAGE_MAP()                                                                      \
public:                                                                                            \
    static const MessageMap* GetThisMessageMap();                                                  \
    const MessageMap* GetMessageMap() const override {                                             \
        return GetThisMessageMap();                                                                \
    }                                                                                              \
                                                                                                   \
private:

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                     \
    const MessageMap* theClass::GetThisMessageMap() {                                              \
        using ThisClass = theClass;                                                                \
        using TheBaseClass = baseClass;                                                            \
        static const MessageMapEntry entries[] = {

#define END_MESSAGE_MAP()                                                                          \
    {                                                                                              \
        0, 0, 0, MsgSig::end, {}                                                                   \
    }                                                                                              \
    }                                                                                              \
    ;                                                                                              \
    static const MessageMap map = {&TheBaseClass::GetThisMessageMap, entries};                     \
    return &map;                                                                                   \
    }

namespace msgmap {
template <class T> constexpr MsgHandler Cmd(void (T::*fn)()) {
    return MsgHandler{.vv = static_cast<void (CWnd::*)()>(fn)};
}
template <class T> constexpr MsgHandler Notify(void (T::*fn)(NMHDR*, LRESULT*)) {
    return MsgHandler{.vNotify = static_cast<void (CWnd::*)(NMHDR*, LRESULT*)>(fn)};
}
template <class T> constexpr MsgHandler SysCommand(void (T::*fn)(UINT, LPARAM)) {
    return MsgHandler{.vSysCommand = static_cast<void (CWnd::*)(UINT, LPARAM)>(fn)};
}
template <class T> constexpr MsgHandler QueryDragIcon(HCURSOR (T::*fn)()) {
    return MsgHandler{.hQueryDragIcon = static_cast<HCURSOR (CWnd::*)()>(fn)};
}
template <class T> constexpr MsgHandler SetCursor(BOOL (T::*fn)(HWND, UINT, UINT)) {
    return MsgHandler{.bSetCursor = static_cast<BOOL (CWnd::*)(HWND, UINT, UINT)>(fn)};
}
} // namespace msgmap

#define ON_BN_CLICKED(id, fn)                                                                      \
    {WM_COMMAND, BN_CLICKED, (id), MsgSig::vv, msgmap::Cmd<ThisClass>(fn)},
#define ON_STN_CLICKED(id, fn)                                                                     \
    {WM_COMMAND, STN_CLICKED, (id), MsgSig::vv, msgmap::Cmd<ThisClass>(fn)},
#define ON_NOTIFY(code, id, fn)                                                                    \
    {WM_NOTIFY, (UINT)(code), (id), MsgSig::vNotify, msgmap::Notify<ThisClass>(fn)},
#define ON_WM_SYSCOMMAND()                                                                         \
    {WM_SYSCOMMAND, 0, 0, MsgSig::vSysCommand,                                                     \
     msgmap::SysCommand<ThisClass>(&ThisClass::OnSysCommand)},
#define ON_WM_PAINT() {WM_PAINT, 0, 0, MsgSig::vv, msgmap::Cmd<ThisClass>(&ThisClass::OnPaint)},
#define ON_WM_DESTROY()                                                                            \
    {WM_DESTROY, 0, 0, MsgSig::vv, msgmap::Cmd<ThisClass>(&ThisClass::OnDestroy)},
#define ON_WM_QUERYDRAGICON()                                                                      \
    {WM_QUERYDRAGICON, 0, 0, MsgSig::hQueryDragIcon,                                               \
     msgmap::QueryDragIcon<ThisClass>(&ThisClass::OnQueryDragIcon)},
#define ON_WM_SETCURSOR()                                                                          \
    {WM_SETCURSOR, 0, 0, MsgSig::bSetCursor, msgmap::SetCursor<ThisClass>(&ThisClass::OnSetCursor)},
