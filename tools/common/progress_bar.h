// A one-line progress bar on the terminal, fed by a demo's load progress or a render's frames.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace demo {

class ProgressBar {
public:
    // Draws on standard error, and only when it is a terminal. With a `unit` ("frames") the
    // line also shows the count done, the speed in units per second and the time left.
    explicit ProgressBar(std::string label, std::string unit = "");
    ~ProgressBar();

    void update(uint64_t done, uint64_t total);
    // Ends the line; safe to call more than once.
    void finish();

private:
    using Clock = std::chrono::steady_clock;

    std::string label_;
    std::string unit_;
    bool enabled_;
    bool drawn_ = false;
    int last_percent_ = -1;
    Clock::time_point started_ = Clock::now();
    Clock::time_point last_drawn_;
};

}  // namespace demo
