// Small helpers for tests that need windows, a message loop or a serial control.
#pragma once

#include "fw/Exception.h"
#include "fw/Wnd.h"
#include "link/MSComm.h"
#include "ScriptedPort.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>
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

// Wide text as UTF-8, for matchers and failure messages.
inline std::string Utf8(const std::wstring& text)
{
    std::string out(text.size() * 3, '\0');
    out.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0],
                                                       static_cast<int>(out.size()), nullptr, nullptr)));
    return out;
}

// The description of the error `action` throws, in UTF-8; empty when it throws none.
inline std::string ErrorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const CException& e) {
        return Utf8(e.GetDescription());
    }
    return std::string();
}
