// Small helpers for tests that need windows and a message loop.
#pragma once

#include "fw/Exception.h"
#include "fw/Wnd.h"

#include <functional>
#include <string>
#include <windows.h>

// A plain top-level window of the framework's own class.
class CTestWnd : public CWnd {
public:
    BOOL Create()
    {
        const RECT rect = { 0, 0, 100, 100 };
        return CreateEx(0, L"VorlixTestWnd", "test", WS_OVERLAPPED, rect, nullptr, 0);
    }
};

// Dispatches the thread's messages until `done` holds or `timeoutMs` passes.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

// The description of the error `action` throws; empty when it throws none.
inline std::string ErrorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const CException& e) {
        return e.GetDescription().Str();
    }
    return std::string();
}
