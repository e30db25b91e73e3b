// A small parser for the options of one subcommand.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "commands.h"

namespace demo {

struct ParsedArguments {
    std::vector<std::string> positional;
    bool help = false;

    // Value of a `--name VALUE` or `-n VALUE` option; `fallback` when absent.
    std::string value(const std::string& name, const std::string& fallback = "") const;
    bool flag(const std::string& name) const;

    std::vector<std::pair<std::string, std::string>> values;
    std::vector<std::string> flags;
};

// `value_options` take a value; `flag_options` do not. "-o" is accepted for "--output".
// Throws UsageError for an unknown option or a missing value.
ParsedArguments parse_arguments(const Arguments& args,
                                const std::vector<std::string>& value_options,
                                const std::vector<std::string>& flag_options);

// `parse_arguments` for a command that takes one `operand` ("INPUT"): prints `help` on standard
// output when asked (the result's `help` is then set), otherwise throws UsageError unless there
// is exactly one operand.
ParsedArguments parse_command(const Arguments& args, const char* help, const char* operand,
                              const std::vector<std::string>& value_options,
                              const std::vector<std::string>& flag_options);

// The finite number `text` is, whole; otherwise throws UsageError naming `option`.
float parse_float(const std::string& text, const char* option);

// "WxH" with both sides from 1 to 16384; otherwise throws UsageError naming `option`.
void parse_size(const std::string& text, int32_t& width, int32_t& height,
                const char* option = "--size");

}  // namespace demo
