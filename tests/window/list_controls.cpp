// A console helper of the window test: finds a visible top-level window by
// its title and prints its child controls, one a line, as UTF-8:
//
//   id <TAB> left,top,right,bottom <TAB> class <TAB> enabled|disabled <TAB> text
//
// The rectangle is in the window's client coordinates (with --screen in
// screen coordinates, which are the X display's under Wine); the id is
// signed (a static without an id shows -1). Line breaks inside a text print
// as "\n", a tab as "\t".
//
//   list_controls [--screen] [--wait MS] TITLE
//                                       exit 0: listed; 1: no such window
//   list_controls --windows             every visible top-level window:
//                                       class <TAB> title
//   list_controls --acp                 "acp N": the ANSI code page
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

std::string Utf8(const std::wstring& wide) {
    if (wide.empty()) return std::string();
    int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &out[0], size,
                        nullptr, nullptr);
    return out;
}

// Bytes to stdout as they are: no console code page, no text-mode CRLF.
void Write(const std::string& text) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    size_t done = 0;
    while (done < text.size()) {
        if (!WriteFile(out, text.data() + done, static_cast<DWORD>(text.size() - done), &written,
                       nullptr) ||
            written == 0) {
            return;
        }
        done += written;
    }
}

std::wstring TextOf(HWND window) {
    // WM_GETTEXT with a timeout: a window of a hung program must not hang
    // the helper.
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) {
        return std::wstring();
    }
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]),
                             SMTO_ABORTIFHUNG, 2000, &copied)) {
        return std::wstring();
    }
    text.resize(static_cast<size_t>(copied) < text.size() ? static_cast<size_t>(copied)
                                                          : text.size() - 1);
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

std::wstring Escaped(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        if (c == L'\r') continue;
        if (c == L'\n') {
            out += L"\\n";
        } else if (c == L'\t') {
            out += L"\\t";
        } else {
            out += c;
        }
    }
    return out;
}

struct Search {
    const wchar_t* title;
    HWND found;
};

BOOL CALLBACK FindByTitle(HWND window, LPARAM param) {
    Search* search = reinterpret_cast<Search*>(param);
    if (!IsWindowVisible(window)) return TRUE;
    if (TextOf(window) == search->title) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK PrintTopLevel(HWND window, LPARAM) {
    if (!IsWindowVisible(window)) return TRUE;
    Write(Utf8(ClassOf(window)) + "\t" + Utf8(Escaped(TextOf(window))) + "\n");
    return TRUE;
}

void PrintControls(HWND parent, bool screen) {
    // Direct children in Z order, which is the template's order.
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT rect = {};
        GetWindowRect(child, &rect);
        if (!screen) MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
        wchar_t line[128];
        swprintf(line, 128, L"%d\t%ld,%ld,%ld,%ld\t", GetDlgCtrlID(child), rect.left, rect.top,
                 rect.right, rect.bottom);
        std::wstring text = line;
        text += ClassOf(child);
        text += IsWindowEnabled(child) ? L"\tenabled\t" : L"\tdisabled\t";
        text += Escaped(TextOf(child));
        Write(Utf8(text) + "\n");
    }
}

int Usage() {
    Write(
        "usage: list_controls [--screen] [--wait MS] TITLE\n       list_controls --windows\n"
        "       list_controls --acp\n");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 2 && std::wcscmp(argv[1], L"--windows") == 0) {
        EnumWindows(PrintTopLevel, 0);
        return 0;
    }
    if (argc == 2 && std::wcscmp(argv[1], L"--acp") == 0) {
        Write("acp " + std::to_string(GetACP()) + "\n");
        return 0;
    }
    DWORD waitMs = 0;
    bool screen = false;
    int at = 1;
    if (at < argc - 1 && std::wcscmp(argv[at], L"--screen") == 0) {
        screen = true;
        ++at;
    }
    if (at + 2 < argc && std::wcscmp(argv[at], L"--wait") == 0) {
        waitMs = static_cast<DWORD>(std::wcstoul(argv[at + 1], nullptr, 10));
        at += 2;
    }
    if (at != argc - 1) return Usage();

    Search search = {argv[at], nullptr};
    DWORD start = GetTickCount();
    for (;;) {
        EnumWindows(FindByTitle, reinterpret_cast<LPARAM>(&search));
        if (search.found || GetTickCount() - start >= waitMs) break;
        Sleep(100);
    }
    if (!search.found) {
        Write("no visible window titled " + Utf8(argv[at]) + "\n");
        return 1;
    }
    PrintControls(search.found, screen);
    return 0;
}
