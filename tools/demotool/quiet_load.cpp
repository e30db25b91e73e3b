#include "quiet_load.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace demo {

namespace {

void flush_all() {
    std::fflush(stdout);
    std::fflush(stderr);
    std::cout.flush();
    std::clog.flush();
}

}  // namespace

QuietLoad::QuietLoad() {
    flush_all();
    const int nowhere = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (nowhere >= 0) {
        saved_out_ = dup(STDOUT_FILENO);
        saved_err_ = dup(STDERR_FILENO);
        dup2(nowhere, STDOUT_FILENO);
        dup2(nowhere, STDERR_FILENO);
        close(nowhere);
    }
}

QuietLoad::~QuietLoad() {
    flush_all();
    if (saved_out_ >= 0) {
        dup2(saved_out_, STDOUT_FILENO);
        close(saved_out_);
    }
    if (saved_err_ >= 0) {
        dup2(saved_err_, STDERR_FILENO);
        close(saved_err_);
    }
}

}  // namespace demo
