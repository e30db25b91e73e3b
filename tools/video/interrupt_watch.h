// Turns Ctrl-C (SIGINT) and SIGTERM into a flag that a long loop polls, so that it can stop
// at the end of a step and remove what it had half written. A second signal acts as it would
// have without the watch, an ignored one stays ignored, and the previous handlers return when
// the watch ends.
#pragma once

#include <csignal>

namespace demo {

class InterruptWatch {
public:
    // Installs the handlers; the destructor puts the previous ones back.
    InterruptWatch();
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    // Whether a signal arrived since the watch began.
    bool interrupted() const;

private:
    struct sigaction previous_interrupt_ {};
    struct sigaction previous_terminate_ {};
};

}  // namespace demo
