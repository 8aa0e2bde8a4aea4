// Starts a program the way a console window starts a GUI-subsystem program without
// redirection, then tells what the console shows: the helper takes a console of its own and
// starts the program in it with no standard handles at all, after typing TEXT on the console
// when asked to (a line ends with "\n"). On its own standard output it writes the console's
// lines as "console: ..." and then "exit status N".
//   console_parent [--type TEXT] PROGRAM [ARGUMENT...]

#include <windows.h>

#include <string>
#include <vector>

namespace {

void Say(HANDLE out, const std::wstring& text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                          size, nullptr, nullptr);
    DWORD written = 0;
    ::WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// Keys pressed and released on the console, as someone typing `text`.
bool Type(const std::wstring& text) {
    const HANDLE input =
        ::CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, 0, nullptr);
    std::vector<INPUT_RECORD> keys;
    for (wchar_t c : text) {
        if (c == L'\n')
            c = L'\r';
        const WORD code = c == L'\r' ? VK_RETURN : 0;
        for (const BOOL down : {TRUE, FALSE})
            keys.push_back({KEY_EVENT, {.KeyEvent = {down, 1, code, 0, {c}, 0}}});
    }
    if (input == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool typed =
        ::WriteConsoleInputW(input, keys.data(), static_cast<DWORD>(keys.size()), &written) &&
        written == keys.size();
    ::CloseHandle(input);
    return typed;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // The helper's own standard output, kept before it changes consoles.
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    int first = 1;
    std::wstring typed;
    if (argc > 2 && std::wstring(argv[1]) == L"--type") {
        typed = argv[2];
        first = 3;
    }
    if (first >= argc)
        return 64;  // usage above
    ::FreeConsole();
    if (!::AllocConsole()) {
        Say(out, L"no console: error " + std::to_wstring(::GetLastError()) + L"\n");
        return 1;
    }
    const HANDLE screen =
        ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, 0, nullptr);
    // Wide enough that no line of the program wraps.
    ::SetConsoleScreenBufferSize(screen, COORD{400, 100});
    if (!typed.empty() && !Type(typed)) {
        Say(out, L"cannot type on the console: error " + std::to_wstring(::GetLastError()) + L"\n");
        return 1;
    }

    // Each argument quoted whole: none holds a double quote or ends with a backslash.
    std::wstring commandLine;
    for (int i = first; i < argc; ++i)
        commandLine += (i > first ? L" \"" : L"\"") + std::wstring(argv[i]) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;  // and every one of them null
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process)) {
        Say(out, L"cannot start " + commandLine + L": error " + std::to_wstring(::GetLastError()) +
                     L"\n");
        return 1;
    }
    if (::WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0)
        ::TerminateProcess(process.hProcess, 124);  // still running after 30 s
    DWORD status = 0;
    ::GetExitCodeProcess(process.hProcess, &status);

    CONSOLE_SCREEN_BUFFER_INFO info{};
    ::GetConsoleScreenBufferInfo(screen, &info);
    for (SHORT row = 0; row <= info.dwCursorPosition.Y; ++row) {
        std::wstring line(static_cast<std::size_t>(info.dwSize.X), L' ');
        DWORD read = 0;
        ::ReadConsoleOutputCharacterW(screen, line.data(), static_cast<DWORD>(line.size()),
                                      COORD{0, row}, &read);
        line.resize(read);
        line.erase(line.find_last_not_of(L' ') + 1);
        if (!line.empty() || row < info.dwCursorPosition.Y)
            Say(out, L"console: " + line + L"\n");
    }
    Say(out, L"exit status " + std::to_wstring(status) + L"\n");
    return 0;
}
