#include "base/chatter.h"

#include <cstdarg>
#include <cstdio>

namespace demo {

namespace {

bool on_stderr = false;

}  // namespace

void print_chatter(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(on_stderr ? stderr : stdout, format, args);
    va_end(args);
}

void send_chatter_to_stderr() {
    on_stderr = true;
}

}  // namespace demo
