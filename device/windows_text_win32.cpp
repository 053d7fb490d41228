#include "device/windows_text.h"

#include <windows.h>

#include <climits>

namespace raid {

std::wstring Wide(std::string_view utf8) {
    if (utf8.empty() || utf8.size() > INT_MAX) {
        return {};
    }
    const int length = static_cast<int>(utf8.size());
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    if (size <= 0) {
        return {};
    }
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    if (MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, out.data(), size) != size) {
        return {};
    }
    return out;
}

std::string Utf8(std::wstring_view wide) {
    if (wide.empty() || wide.size() > INT_MAX) {
        return {};
    }
    const int length = static_cast<int>(wide.size());
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return {};
    }
    std::string out(static_cast<std::size_t>(size), '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, out.data(), size, nullptr, nullptr) !=
        size) {
        return {};
    }
    return out;
}

std::string WindowsErrorText(unsigned long code) {
    wchar_t text[512] = {};
    const DWORD n =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                       text, static_cast<DWORD>(sizeof text / sizeof text[0]), nullptr);
    std::string out = Utf8(std::wstring_view(text, n));
    while (!out.empty() &&
           (out.back() == '\r' || out.back() == '\n' || out.back() == ' ' || out.back() == '.')) {
        out.pop_back();
    }
    return out.empty() ? "system error " + std::to_string(code) : out;
}

}  // namespace raid
