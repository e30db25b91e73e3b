// Evidence of a crash: a fatal signal leaves its name and the stack it struck on, on standard
// error and in "crash.txt", so that a crash at a party or in CI says where it happened.
#pragma once

namespace demo {

// Installs the handler for SIGSEGV, SIGBUS, SIGFPE, SIGILL and SIGABRT, on a stack of its own
// so that a stack overflow is reported too. The handler writes "Fatal error: signal N (NAME)",
// the backtrace and "Exiting.", then lets the signal end the process as it would have (the
// exit status and any core dump stay those of the signal). On Windows, an unhandled exception
// or abort() is reported the same way, with module offsets for the stack.
void install_crash_handler();

}  // namespace demo
