// Windows and modal dialogs on the Win32 API, with static message tables.
//
// The one trick: DoModal sets a CBT hook on its own thread, which subclasses
// the dialog's window with StandardWndProc before the window gets its first
// message, so that even WM_CREATE reaches the class's message table.
//
// A window handle finds its object through the window's user data
// (GWLP_USERDATA), set when the window is attached: by WM_NCCREATE for the
// framework's own window class, by the hook for a dialog.
//
// A class lists the messages it handles in a table (BEGIN_MESSAGE_MAP ...
// END_MESSAGE_MAP); a message not found in a class's table is looked up in its
// base class's table and finally goes to the window's default processing.
// A handler found in a table replaces the default processing: the window's
// own behaviour happens only when the handler calls Default() (an OnClose
// without it never closes the window). ON_COMMAND(id, fn) matches a click
// (BN_CLICKED) of control `id` and nothing else; ON_CONTROL matches another
// notification code.
//
// Events of child controls (the serial control's notifications) are routed by
// a second table of the same kind (BEGIN_EVENTSINK_MAP ... END_EVENTSINK_MAP).
// They reach a parent of this framework through its window procedure
// directly, not through the system's SendMessage.
//
// Every handler runs inside one boundary: an exception it throws ends that
// handler, and its description is shown in the error box (AfxPrompts()),
// except for control events, which end silently.
#pragma once

#include "fw/String.h"

#include <windows.h>

class CWnd;

struct MessageEntry {
    UINT message;  // WM_... ; WM_COMMAND for clicks and other notifications
    UINT id;       // WM_COMMAND: MAKELONG(control id, notification code); 0 otherwise
    LRESULT (*handler)(CWnd& wnd, WPARAM wParam, LPARAM lParam);
};

struct MessageMap {
    const MessageMap* (*base)();
    const MessageEntry* entries;
};

struct EventEntry {
    UINT id;      // control id
    UINT dispid;  // event number
    void (*handler)(CWnd& wnd);
};

// Sent by a child control to its parent to raise event wParam = MAKEWPARAM(id, dispid).
constexpr UINT kEventMessage = WM_APP + 0x3F00;

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    void EnableDlgItem(int id, BOOL enable) const { ::EnableWindow(GetDlgItem(id), enable); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }
    void CenterWindow(HWND alternateOwner = nullptr);

    // Raised by a child control: calls the parent's ON_EVENT handler for (id, dispid).
    void FireEvent(UINT dispid);

    static CWnd* FromHandle(HWND hWnd);

    HWND m_hWnd = nullptr;

protected:
    // The window's default processing of the message being handled.
    LRESULT Default();

    // Creates a window of a class registered with this framework's window procedure.
    BOOL CreateEx(DWORD exStyle, const wchar_t* className, const CString& windowName, DWORD style,
                  const RECT& rect, HWND parent, UINT id);
    static void RegisterClassOnce(const wchar_t* className);

    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    static const MessageMap* GetThisMessageMap();
    virtual const MessageMap* GetMessageMap() const { return GetThisMessageMap(); }
    virtual const EventEntry* GetEventSinkMap() const { return nullptr; }

    void Attach(HWND hWnd);
    void Detach();
    static LRESULT CALLBACK StandardWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    WNDPROC m_pfnSuper = nullptr;

private:
    struct CurrentMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    CurrentMessage m_current{};
};

class CDataExchange {
public:
    CDataExchange(CWnd* dialog, BOOL saveAndValidate) : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}
    HWND PrepareCtrl(int id) const;
    CWnd* m_pDlgWnd;
    BOOL m_bSaveAndValidate;
};

// Text of a control <-> a CString.
void DDX_Text(CDataExchange* pDX, int id, CString& value);
// Radio group starting at the control `id` <-> the index of the checked button, -1 for none.
void DDX_Radio(CDataExchange* pDX, int id, int& value);

class CDialog : public CWnd {
public:
    explicit CDialog(UINT idTemplate, CWnd* parent = nullptr) : m_nIDTemplate(idTemplate), m_pParentWnd(parent) {}

    // Runs the dialog modally and returns what it ended with; -1 when it could not be created.
    INT_PTR DoModal();
    void EndDialog(int result) { ::EndDialog(m_hWnd, result); }
    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    UINT GetTemplateId() const { return m_nIDTemplate; }  // the tests tell dialogs apart by it

protected:
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(CDataExchange*) {}
    void OnOK();
    void OnCancel();

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    static const MessageMap* GetThisMessageMap();
    const MessageMap* GetMessageMap() const override;

private:
    static LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
};

// ---- The table macros ----------------------------------------------------

namespace fw {
// For every handler that takes no argument: commands, WM_PAINT, WM_CLOSE.
template <class T, void (T::*F)()>
LRESULT NoArgumentThunk(CWnd& w, WPARAM, LPARAM) { (static_cast<T&>(w).*F)(); return 0; }
template <class T, int (T::*F)(LPCREATESTRUCTW)>
LRESULT CreateThunk(CWnd& w, WPARAM, LPARAM l) { return (static_cast<T&>(w).*F)(reinterpret_cast<LPCREATESTRUCTW>(l)); }
template <class T, void (T::*F)(UINT, LPARAM)>
LRESULT SysCommandThunk(CWnd& w, WPARAM wp, LPARAM l) { (static_cast<T&>(w).*F)(static_cast<UINT>(wp), l); return 0; }
template <class T, HICON (T::*F)()>
LRESULT QueryDragIconThunk(CWnd& w, WPARAM, LPARAM) { return reinterpret_cast<LRESULT>((static_cast<T&>(w).*F)()); }
template <class T, void (T::*F)(UINT_PTR)>
LRESULT TimerThunk(CWnd& w, WPARAM wp, LPARAM) { (static_cast<T&>(w).*F)(wp); return 0; }
template <class T, LRESULT (T::*F)(WPARAM, LPARAM)>
LRESULT MessageThunk(CWnd& w, WPARAM wp, LPARAM l) { return (static_cast<T&>(w).*F)(wp, l); }
template <class T, void (T::*F)()>
void EventThunk(CWnd& w) { (static_cast<T&>(w).*F)(); }
}  // namespace fw

#define DECLARE_MESSAGE_MAP()                            \
protected:                                               \
    static const MessageMap* GetThisMessageMap();        \
    const MessageMap* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                        \
    const MessageMap* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const MessageMap* theClass::GetThisMessageMap()                                   \
    {                                                                                 \
        typedef theClass ThisClass;                                                   \
        typedef baseClass TheBaseClass;                                               \
        static const MessageEntry entries[] = {

#define END_MESSAGE_MAP()                                                     \
            { 0, 0, nullptr }                                                 \
        };                                                                    \
        static const MessageMap map = { &TheBaseClass::GetThisMessageMap, entries }; \
        return &map;                                                          \
    }

// void fn(): notification `code` of control `id`.
#define ON_CONTROL(code, id, fn) \
    { WM_COMMAND, static_cast<UINT>(MAKELONG((id), (code))), &fw::NoArgumentThunk<ThisClass, &ThisClass::fn> },
// void fn(): a click of button `id` (BN_CLICKED only).
#define ON_COMMAND(id, fn) ON_CONTROL(BN_CLICKED, id, fn)
#define ON_BN_CLICKED(id, fn) ON_COMMAND(id, fn)
// void fn(): a double click in list box `id`.
#define ON_LBN_DBLCLK(id, fn) ON_CONTROL(LBN_DBLCLK, id, fn)
// int OnCreate(LPCREATESTRUCTW): -1 stops the window's creation.
#define ON_WM_CREATE() { WM_CREATE, 0, &fw::CreateThunk<ThisClass, &ThisClass::OnCreate> },
// void OnSysCommand(UINT nID, LPARAM lParam)
#define ON_WM_SYSCOMMAND() { WM_SYSCOMMAND, 0, &fw::SysCommandThunk<ThisClass, &ThisClass::OnSysCommand> },
// void OnPaint()
#define ON_WM_PAINT() { WM_PAINT, 0, &fw::NoArgumentThunk<ThisClass, &ThisClass::OnPaint> },
// HICON OnQueryDragIcon()
#define ON_WM_QUERYDRAGICON() { WM_QUERYDRAGICON, 0, &fw::QueryDragIconThunk<ThisClass, &ThisClass::OnQueryDragIcon> },
// void OnClose(): the window closes only if it calls Default().
#define ON_WM_CLOSE() { WM_CLOSE, 0, &fw::NoArgumentThunk<ThisClass, &ThisClass::OnClose> },
// void OnTimer(UINT_PTR nIDEvent)
#define ON_WM_TIMER() { WM_TIMER, 0, &fw::TimerThunk<ThisClass, &ThisClass::OnTimer> },
// LRESULT fn(WPARAM, LPARAM): any message.
#define ON_MESSAGE(message, fn) { (message), 0, &fw::MessageThunk<ThisClass, &ThisClass::fn> },

#define DECLARE_EVENTSINK_MAP() \
protected:                      \
    const EventEntry* GetEventSinkMap() const override;

#define BEGIN_EVENTSINK_MAP(theClass)                \
    const EventEntry* theClass::GetEventSinkMap() const \
    {                                                \
        typedef theClass ThisClass;                  \
        static const EventEntry entries[] = {

#define END_EVENTSINK_MAP() \
            { 0, 0, nullptr } \
        };                  \
        return entries;     \
    }

#define ON_EVENT(id, dispid, fn) { (id), (dispid), &fw::EventThunk<ThisClass, &ThisClass::fn> },
