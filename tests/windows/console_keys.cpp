// Test helper: puts keys into its console's input, as if typed, then runs a
// program at the same console and exits with its exit code.
//
//     console_keys 592A 90CE 000D 001A 000D -- onigawara.exe --seed 1
//
// Each argument before "--" is one UTF-16 unit in hex. 001A is Ctrl-Z and 000D
// Enter, which wine's console does not take from a terminal as Windows' takes them
// from the keyboard.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

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

} // namespace

int wmain(int argc, wchar_t** argv)
{
    int at = 1;
    HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    for (; at < argc && std::wcscmp(argv[at], L"--") != 0; ++at)
        put_key(input, static_cast<wchar_t>(std::wcstoul(argv[at], nullptr, 16)));
    std::wstring command;
    for (++at; at < argc; ++at) command += std::wstring(L"\"") + argv[at] + L"\" ";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
        return 127;
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exit_code = 1;
    ::GetExitCodeProcess(process.hProcess, &exit_code);
    return static_cast<int>(exit_code);
}
