#include "progress_bar.h"

#include <unistd.h>

#include <cstdio>

namespace demo {

ProgressBar::ProgressBar(std::string label)
    : label_(std::move(label)), enabled_(isatty(STDERR_FILENO) != 0) {}

ProgressBar::~ProgressBar() {
    finish();
}

void ProgressBar::update(uint64_t done, uint64_t total) {
    if (!enabled_)
        return;
    const int percent = total == 0 ? 100 : static_cast<int>(done * 100 / total);
    if (percent == last_percent_)
        return;
    last_percent_ = percent;
    constexpr int kWidth = 40;
    const int filled = percent * kWidth / 100;
    std::fprintf(stderr, "\r%s [%.*s%*s] %3d%%", label_.c_str(), filled,
                 "========================================", kWidth - filled, "", percent);
    std::fflush(stderr);
    drawn_ = true;
}

void ProgressBar::finish() {
    if (drawn_)
        std::fputc('\n', stderr);
    drawn_ = false;
}

}  // namespace demo
