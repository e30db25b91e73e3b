// Windows: an unhandled structured exception (an access violation, a division by zero, a stack
// overflow) or abort() leaves its name and the stack's return addresses, each as the module it
// lies in and the offset there, on standard error and in "crash.txt". A window program has no
// console, so crash.txt is what a demo maker gets back from a compo machine.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "player/crash_handler.h"

namespace demo {

namespace {

constexpr int kMaxFrames = 62;  // what CaptureStackBackTrace takes on every Windows version

const char* exception_name(DWORD code) {
    switch (code) {
        case EXCEPTION_ACCESS_VIOLATION:
            return "access violation";
        case EXCEPTION_STACK_OVERFLOW:
            return "stack overflow";
        case EXCEPTION_INT_DIVIDE_BY_ZERO:
            return "integer division by zero";
        case EXCEPTION_ILLEGAL_INSTRUCTION:
            return "illegal instruction";
        case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
            return "array bounds exceeded";
        case EXCEPTION_IN_PAGE_ERROR:
            return "in-page error";
        default:
            return "exception";
    }
}

// One line per frame: the module's file name and the offset into it, which a map file or
// addr2line on the unstripped player turns into a function.
void write_frames(std::FILE* out, void* const* frames, int count) {
    for (int i = 0; i < count; ++i) {
        HMODULE module = nullptr;
        char name[MAX_PATH] = "?";
        if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                   GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                               static_cast<LPCSTR>(frames[i]), &module)) {
            GetModuleFileNameA(module, name, MAX_PATH);
        }
        const char* base = name;
        for (const char* c = name; *c != '\0'; ++c) {
            if (*c == '\\' || *c == '/')
                base = c + 1;
        }
        std::fprintf(out, "%s+0x%llx\n", base,
                     static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(frames[i]) -
                                                     reinterpret_cast<uintptr_t>(module)));
    }
}

void report(const char* what, unsigned long code) {
    void* frames[kMaxFrames];
    const int count = CaptureStackBackTrace(0, kMaxFrames, frames, nullptr);
    std::FILE* outputs[] = {stderr, std::fopen("crash.txt", "w")};
    for (std::FILE* out : outputs) {
        if (out == nullptr)
            continue;
        std::fprintf(out, "Fatal error: %s 0x%08lx\n", what, code);
        write_frames(out, frames, count);
        std::fputs("Exiting.\n", out);
        std::fflush(out);
    }
    if (outputs[1] != nullptr)
        std::fclose(outputs[1]);
}

LONG WINAPI on_unhandled_exception(EXCEPTION_POINTERS* info) {
    const DWORD code = info->ExceptionRecord->ExceptionCode;
    report(exception_name(code), code);
    // The process ends with the exception's code, as it would have without the handler.
    return EXCEPTION_EXECUTE_HANDLER;
}

void on_abort(int) {
    report("abort", SIGABRT);
    std::_Exit(3);  // the status abort() gives on Windows
}

}  // namespace

void install_crash_handler() {
    // A stack overflow leaves too little stack for the report: keep some back for it.
    ULONG reserve = 64 * 1024;
    SetThreadStackGuarantee(&reserve);
    SetUnhandledExceptionFilter(on_unhandled_exception);
    std::signal(SIGABRT, on_abort);
}

}  // namespace demo
