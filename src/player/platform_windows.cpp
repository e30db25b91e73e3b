// Windows: paths are UTF-16, so the executable's own path is asked for in wide characters and
// files are opened through the wide C runtime; the narrow calls would lose every character
// outside the ANSI code page.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cwchar>

#include "player/platform.h"

namespace demo {

namespace {

std::wstring wide_of(const std::string& utf8) {
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                        length);
    return wide;
}

std::string utf8_of(const std::wstring& wide) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), length,
                        nullptr, nullptr);
    return utf8;
}

}  // namespace

std::string executable_path() {
    // A path may be longer than MAX_PATH; the buffer grows until the whole path fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return utf8_of(path);
        }
        if (path.size() >= 32768)  // the longest path Windows has
            return {};
        path.resize(path.size() * 2);
    }
}

std::FILE* open_file(const std::string& path, const char* mode) {
    return _wfopen(wide_of(path).c_str(), wide_of(mode).c_str());
}

}  // namespace demo
