// A one-line progress bar on the terminal, fed by a demo's load progress.
#pragma once

#include <cstdint>
#include <string>

namespace demo {

class ProgressBar {
public:
    // Draws on standard error, and only when it is a terminal.
    explicit ProgressBar(std::string label);
    ~ProgressBar();

    void update(uint64_t done, uint64_t total);
    // Ends the line; safe to call more than once.
    void finish();

private:
    std::string label_;
    bool enabled_;
    bool drawn_ = false;
    int last_percent_ = -1;
};

}  // namespace demo
