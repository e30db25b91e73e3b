#include "interrupt_watch.h"

namespace demo {

namespace {

volatile std::sig_atomic_t signalled = 0;

// Only records the signal: everything else waits for the loop.
void record_signal(int) {
    signalled = 1;
}

}  // namespace

InterruptWatch::InterruptWatch() {
    signalled = 0;
    struct sigaction action {};
    action.sa_handler = record_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    // A signal the caller chose to ignore (a background job's Ctrl-C) stays ignored.
    sigaction(SIGINT, nullptr, &previous_interrupt_);
    sigaction(SIGTERM, nullptr, &previous_terminate_);
    if (previous_interrupt_.sa_handler != SIG_IGN)
        sigaction(SIGINT, &action, nullptr);
    if (previous_terminate_.sa_handler != SIG_IGN)
        sigaction(SIGTERM, &action, nullptr);
}

InterruptWatch::~InterruptWatch() {
    sigaction(SIGINT, &previous_interrupt_, nullptr);
    sigaction(SIGTERM, &previous_terminate_, nullptr);
}

bool InterruptWatch::interrupted() const {
    return signalled != 0;
}

}  // namespace demo
