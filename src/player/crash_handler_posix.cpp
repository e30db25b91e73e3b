#include "player/crash_handler.h"

#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>

namespace demo {

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr int kMaxFrames = 64;

// The handler's own stack: a stack overflow leaves none to run on. Static, so nothing is
// allocated once the process has crashed.
alignas(16) char alternate_stack[64 * 1024];

// Only async-signal-safe calls from here on: the heap may be what is broken.
void write_text(int fd, const char* text) {
    size_t left = std::strlen(text);
    while (left > 0) {
        const ssize_t n = ::write(fd, text, left);
        if (n <= 0)
            return;
        text += n;
        left -= static_cast<size_t>(n);
    }
}

// Decimal digits of a small non-negative number, without printf.
void write_number(int fd, int value) {
    char digits[12];
    int at = sizeof digits;
    digits[--at] = '\0';
    do {
        digits[--at] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0 && at > 0);
    write_text(fd, digits + at);
}

const char* signal_name(int signal_number) {
    switch (signal_number) {
        case SIGSEGV:
            return "SIGSEGV";
        case SIGBUS:
            return "SIGBUS";
        case SIGFPE:
            return "SIGFPE";
        case SIGILL:
            return "SIGILL";
        case SIGABRT:
            return "SIGABRT";
        default:
            return "signal";
    }
}

void write_report(int fd, int signal_number, void* const* frames, int count) {
    write_text(fd, "Fatal error: signal ");
    write_number(fd, signal_number);
    write_text(fd, " (");
    write_text(fd, signal_name(signal_number));
    write_text(fd, ")\n");
    backtrace_symbols_fd(frames, count, fd);
    write_text(fd, "Exiting.");
}

void on_fatal_signal(int signal_number) {
    void* frames[kMaxFrames];
    const int count = backtrace(frames, kMaxFrames);
    write_report(STDERR_FILENO, signal_number, frames, count);
    write_text(STDERR_FILENO, "\n");
    const int fd = ::open("crash.txt", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0) {
        write_report(fd, signal_number, frames, count);
        ::close(fd);
    }
    // Back to the default action, then the same signal again: the process ends as the crash
    // would have ended it.
    signal(signal_number, SIG_DFL);
    raise(signal_number);
}

}  // namespace

void install_crash_handler() {
    // backtrace() loads the unwinder on its first call, which allocates: done now, while the
    // heap is sound.
    void* warm_up[1];
    backtrace(warm_up, 1);

    stack_t stack{};
    stack.ss_sp = alternate_stack;
    stack.ss_size = sizeof alternate_stack;
    sigaltstack(&stack, nullptr);

    struct sigaction action {};
    action.sa_handler = on_fatal_signal;
    sigemptyset(&action.sa_mask);
    // SA_RESETHAND: a second fault inside the handler ends the process at once.
    action.sa_flags = SA_ONSTACK | SA_RESETHAND;
    for (int signal_number : kSignals)
        sigaction(signal_number, &action, nullptr);
}

}  // namespace demo
