#include "progress_bar.h"

#include <unistd.h>

#include <cstdio>

namespace demo {

ProgressBar::ProgressBar(std::string label, std::string unit)
    : label_(std::move(label)), unit_(std::move(unit)), enabled_(isatty(STDERR_FILENO) != 0) {}

ProgressBar::~ProgressBar() {
    finish();
}

void ProgressBar::update(uint64_t done, uint64_t total) {
    if (!enabled_)
        return;
    const int percent = total == 0 ? 100 : static_cast<int>(done * 100 / total);
    const Clock::time_point now = Clock::now();
    // The percentage moves slowly on long runs; the speed and time left still refresh a few
    // times a second, and the last update always shows.
    const bool stale = !unit_.empty() && now - last_drawn_ > std::chrono::milliseconds(250);
    if (percent == last_percent_ && !stale && done != total)
        return;
    last_percent_ = percent;
    last_drawn_ = now;
    constexpr int kWidth = 40;
    const int filled = percent * kWidth / 100;
    std::fprintf(stderr, "\r%s [%.*s%*s] %3d%%", label_.c_str(), filled,
                 "========================================", kWidth - filled, "", percent);
    if (!unit_.empty()) {
        const double seconds = std::chrono::duration<double>(now - started_).count();
        const double rate = seconds > 0.0 ? static_cast<double>(done) / seconds : 0.0;
        const int left = rate > 0.0 ? static_cast<int>((total - done) / rate + 0.5) : 0;
        std::fprintf(stderr, "  %llu/%llu %s  %.1f %s/s  %d:%02d left ",
                     static_cast<unsigned long long>(done), static_cast<unsigned long long>(total),
                     unit_.c_str(), rate, unit_.c_str(), left / 60, left % 60);
    }
    std::fflush(stderr);
    drawn_ = true;
}

void ProgressBar::finish() {
    if (drawn_)
        std::fputc('\n', stderr);
    drawn_ = false;
}

}  // namespace demo
