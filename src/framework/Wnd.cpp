#include "framework/Wnd.h"

#include <unordered_map>

namespace {
// The windows that have an object of ours behind them. Only the window's own
// thread looks here; a window property would cost a server round trip under
// Wine on every message.
std::unordered_map<HWND, CWnd*>& PermanentMap() {
    static std::unordered_map<HWND, CWnd*> map;
    return map;
}

CWnd::FirstQuestionHandler g_firstQuestion = nullptr;
} // namespace

CWnd::~CWnd() {
    if (m_pfnSuper && m_hWnd) {
        SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
        DetachPermanent();
    }
}

const MessageMap* CWnd::GetThisMessageMap() {
    static const MessageMapEntry entries[] = {{0, 0, 0, MsgSig::end, {}}};
    static const MessageMap map = {nullptr, entries};
    return &map;
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
    const auto it = PermanentMap().find(hWnd);
    return it == PermanentMap().end() ? nullptr : it->second;
}

void CWnd::AttachPermanent(HWND hWnd) {
    m_hWnd = hWnd;
    PermanentMap()[hWnd] = this;
}

void CWnd::DetachPermanent() {
    if (const auto it = PermanentMap().find(m_hWnd);
        it != PermanentMap().end() && it->second == this)
        PermanentMap().erase(it);
    m_hWnd = nullptr;
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
    if (!hWnd || m_pfnSuper)
        return FALSE;
    AttachPermanent(hWnd);
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::SubclassProc)));
    return m_pfnSuper != nullptr;
}

void CWnd::OnFirstScreenReaderQuestion(FirstQuestionHandler handler) {
    g_firstQuestion = handler;
}

bool CWnd::AskedFirst(HWND hWnd, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    const FirstQuestionHandler handler = g_firstQuestion;
    g_firstQuestion = nullptr;
    if (!handler || !handler(hWnd))
        return false;
    result = ::SendMessageA(hWnd, WM_GETOBJECT, wParam, lParam);
    return true;
}

BOOL CWnd::PreTranslateMessage(MSG*) {
    return FALSE;
}

bool CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == WM_GETOBJECT && AskedFirst(m_hWnd, wParam, lParam, result))
        return true;
    UINT code = 0, id = 0;
    if (message == WM_COMMAND) {
        code = HIWORD(wParam);
        id = LOWORD(wParam);
    } else if (message == WM_NOTIFY) {
        const auto* hdr = reinterpret_cast<const NMHDR*>(lParam);
        code = hdr->code;
        id = static_cast<UINT>(hdr->idFrom);
    }
    for (const MessageMap* map = GetMessageMap(); map;
         map = map->pfnGetBase ? map->pfnGetBase() : nullptr) {
        for (const MessageMapEntry* e = map->entries; e->sig != MsgSig::end; ++e) {
            if (e->message != message || e->code != code || e->id != id)
                continue;
            const CurrentMessage saved = m_current;
            m_current = {message, wParam, lParam};
            result = 0;
            switch (e->sig) {
            case MsgSig::vv:
                (this->*e->handler.vv)();
                break;
            case MsgSig::vNotify:
                (this->*e->handler.vNotify)(reinterpret_cast<NMHDR*>(lParam), &result);
                break;
            case MsgSig::vSysCommand:
                (this->*e->handler.vSysCommand)(static_cast<UINT>(wParam), lParam);
                break;
            case MsgSig::hQueryDragIcon:
                result = reinterpret_cast<LRESULT>((this->*e->handler.hQueryDragIcon)());
                break;
            case MsgSig::bSetCursor:
                result = (this->*e->handler.bSetCursor)(reinterpret_cast<HWND>(wParam),
                                                        LOWORD(lParam), HIWORD(lParam));
                break;
            case MsgSig::end:
                break;
            }
            m_current = saved;
            if (m_bDefaultRequested) {
                // The handler asked for the default handling: let it run as
                // if no handler had been found.
                m_bDefaultRequested = false;
                return false;
            }
            return true;
        }
    }
    return false;
}

LRESULT CWnd::Default() {
    if (m_pfnSuper)
        return CallWindowProcA(m_pfnSuper, m_hWnd, m_current.message, m_current.wParam,
                               m_current.lParam);
    // A dialog: its dialog procedure reports "not handled" and the dialog
    // manager does the rest.
    m_bDefaultRequested = true;
    return 0;
}

LRESULT CALLBACK CWnd::SubclassProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CWnd* self = FromHandlePermanent(hWnd);
    if (!self)
        return DefWindowProcA(hWnd, msg, wParam, lParam);
    WNDPROC super = self->m_pfnSuper;
    LRESULT result = 0;
    if (msg != WM_NCDESTROY && self->OnWndMsg(msg, wParam, lParam, result))
        return result;
    result = CallWindowProcA(super, hWnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        self->DetachPermanent();
        self->m_pfnSuper = nullptr;
    }
    return result;
}
