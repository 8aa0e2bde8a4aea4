#include "platform/win32/WindowsHeaders.h"

#include <iostream>
#include <streambuf>
#include <string>
#include <string_view>

#include "platform/Console.h"
#include "platform/win32/Wide.h"

namespace tolvane::platform {
namespace {

// A standard handle the process was not given, or one it cannot use (a console handle that a
// parent passed on where console handles are not inherited).
bool Missing(DWORD which) {
    const HANDLE handle = ::GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return true;
    ::SetLastError(NO_ERROR);
    return ::GetFileType(handle) == FILE_TYPE_UNKNOWN && ::GetLastError() != NO_ERROR;
}

HANDLE OpenConsole(const wchar_t* name) {
    const HANDLE handle =
        ::CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, 0, nullptr);
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

// How many bytes at the end of `text` start a UTF-8 sequence that is not complete yet.
std::size_t IncompleteTail(std::string_view text) {
    for (std::size_t back = 1; back <= 3 && back <= text.size(); ++back) {
        const auto byte = static_cast<unsigned char>(text[text.size() - back]);
        if ((byte & 0xC0) == 0x80)
            continue;  // a continuation byte: the sequence starts further back
        const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return length > back ? back : 0;
    }
    return 0;
}

// The program's UTF-8 text onto a console, as Unicode: the console's code page does not
// matter. Unbuffered, so nothing waits for a flush at exit.
class ConsoleOutput final : public std::streambuf {
  public:
    explicit ConsoleOutput(HANDLE console) : console_(console) {}

  protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof()))
            return traits_type::not_eof(c);
        const char byte = traits_type::to_char_type(c);
        return Write(std::string_view(&byte, 1)) ? c : traits_type::eof();
    }
    std::streamsize xsputn(const char* data, std::streamsize count) override {
        return Write(std::string_view(data, static_cast<std::size_t>(count))) ? count : 0;
    }

  private:
    bool Write(std::string_view bytes) {
        pending_.append(bytes);
        const std::size_t ready = pending_.size() - IncompleteTail(pending_);
        const std::wstring text = win32::Widen(std::string_view(pending_).substr(0, ready));
        pending_.erase(0, ready);
        const wchar_t* next = text.data();
        auto left = static_cast<DWORD>(text.size());
        while (left > 0) {
            DWORD written = 0;
            if (!::WriteConsoleW(console_, next, left, &written, nullptr) || written == 0)
                return false;
            next += written;
            left -= written;
        }
        return true;
    }

    HANDLE console_;
    std::string pending_;  // the start of a character whose last bytes are still to come
};

// What is typed on the console, a line at a time, in the console's input code page.
class ConsoleInput final : public std::streambuf {
  public:
    explicit ConsoleInput(HANDLE console) : console_(console) {}

  protected:
    int_type underflow() override {
        DWORD got = 0;
        if (!::ReadFile(console_, buffer_, sizeof buffer_, &got, nullptr) || got == 0)
            return traits_type::eof();
        setg(buffer_, buffer_, buffer_ + got);
        return traits_type::to_int_type(buffer_[0]);
    }

  private:
    HANDLE console_;
    char buffer_[256];
};

}  // namespace

void AttachParentConsole() {
    const bool input = Missing(STD_INPUT_HANDLE);
    const bool output = Missing(STD_OUTPUT_HANDLE);
    const bool errors = Missing(STD_ERROR_HANDLE);
    if (!input && !output && !errors)
        return;
    // Access denied: the process has a console already (some systems give a GUI program its
    // parent's), which will do as well.
    if (!::AttachConsole(ATTACH_PARENT_PROCESS) && ::GetLastError() != ERROR_ACCESS_DENIED)
        return;
    // The stream buffers are never freed: the standard streams use them to the very end.
    if (input) {
        if (const HANDLE console = OpenConsole(L"CONIN$")) {
            ::SetStdHandle(STD_INPUT_HANDLE, console);
            std::cin.rdbuf(new ConsoleInput(console));
            std::cin.clear();
        }
    }
    if (output || errors) {
        if (const HANDLE console = OpenConsole(L"CONOUT$")) {
            auto* buffer = new ConsoleOutput(console);
            if (output) {
                ::SetStdHandle(STD_OUTPUT_HANDLE, console);
                std::cout.rdbuf(buffer);
                std::cout.clear();
            }
            if (errors) {
                ::SetStdHandle(STD_ERROR_HANDLE, console);
                std::cerr.rdbuf(buffer);
                std::cerr.clear();
                std::clog.rdbuf(buffer);
                std::clog.clear();
            }
        }
    }
}

}  // namespace tolvane::platform
