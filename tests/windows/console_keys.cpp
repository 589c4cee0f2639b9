// Test helper: sets its console's code pages when asked, puts keys into the
// console's input as if typed, runs a program at the same console, and exits
// with the program's exit code, or with 99 when the console's code pages are not
// what they were before the program started.
//
//     console_keys [--code-page N] [UNIT...] -- PROGRAM [ARGUMENT...]
//     console_keys --code-page 932 592A 90CE 000D 001A 000D -- onigawara.exe --seed 1
//
// Each UNIT is one UTF-16 unit in hex. 001A is Ctrl-Z and 000D is Enter, which
// wine's console does not take from a terminal as Windows' takes them from the keyboard.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

constexpr int code_pages_changed = 99;

void put_key(HANDLE input, wchar_t unit)
{
    INPUT_RECORD presses[2] = {};
    for (int i = 0; i < 2; ++i) {
        KEY_EVENT_RECORD& key = presses[i].Event.KeyEvent;
        presses[i].EventType = KEY_EVENT;
        key.bKeyDown = i == 0;
        key.wRepeatCount = 1;
        key.uChar.UnicodeChar = unit;
        if (unit == 0x1A) {
            key.wVirtualKeyCode = 'Z';
            key.dwControlKeyState = LEFT_CTRL_PRESSED;
        } else if (unit == L'\r') {
            key.wVirtualKeyCode = VK_RETURN;
        }
    }
    DWORD written = 0;
    ::WriteConsoleInputW(input, presses, 2, &written);
}

// The program's exit code; 127 when it cannot be started.
DWORD run(std::wstring command)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
        return 127;
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exit_code = 1;
    ::GetExitCodeProcess(process.hProcess, &exit_code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return exit_code;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    int at = 1;
    if (at + 1 < argc && std::wcscmp(argv[at], L"--code-page") == 0) {
        const UINT code_page = static_cast<UINT>(std::wcstoul(argv[at + 1], nullptr, 10));
        ::SetConsoleCP(code_page);
        ::SetConsoleOutputCP(code_page);
        at += 2;
    }
    const UINT input_code_page = ::GetConsoleCP();
    const UINT output_code_page = ::GetConsoleOutputCP();
    HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    for (; at < argc && std::wcscmp(argv[at], L"--") != 0; ++at)
        put_key(input, static_cast<wchar_t>(std::wcstoul(argv[at], nullptr, 16)));
    std::wstring command;
    for (++at; at < argc; ++at) command += std::wstring(L"\"") + argv[at] + L"\" ";
    const DWORD exit_code = run(command);
    if (::GetConsoleCP() != input_code_page || ::GetConsoleOutputCP() != output_code_page) return code_pages_changed;
    return static_cast<int>(exit_code);
}
