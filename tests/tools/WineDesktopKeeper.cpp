// Holds Wine's desktop process up for a test session (scripts/windows/wine-session.sh).
//
// Under Wine, the first program that needs the desktop starts it
// (explorer.exe /desktop), which takes over that program's output handles, and
// Wine ends it a second after its last user has gone. A test program that
// happened to start it kept CTest waiting on its output until every other
// window test had ended. This program is a user of the desktop for as long as
// the session lasts, with its output nowhere, so that no test starts it.
//
// It owns one hidden window, which Wine never maps, and waits for messages
// until the session's Wine server ends it.

#include <windows.h>

int main()
{
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    if (window == nullptr)
        return 1;

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    return 0;
}
