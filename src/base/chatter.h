// Loading chatter: what the player says while it loads ("Loading file ...", the names of the
// skeletons and animations it builds). The player prints it on standard output; the authoring
// tool, whose standard output carries what a command reports, sends it to standard error.
#pragma once

namespace demo {

// Prints like printf on the chatter stream.
void print_chatter(const char* format, ...) __attribute__((format(printf, 1, 2)));

// From now on the chatter goes to standard error.
void send_chatter_to_stderr();

}  // namespace demo
