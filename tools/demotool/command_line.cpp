#include "command_line.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>

namespace demo {

std::string ParsedArguments::value(const std::string& name, const std::string& fallback) const {
    for (const auto& [key, v] : values) {
        if (key == name)
            return v;
    }
    return fallback;
}

bool ParsedArguments::flag(const std::string& name) const {
    return std::find(flags.begin(), flags.end(), name) != flags.end();
}

ParsedArguments parse_arguments(const Arguments& args,
                                const std::vector<std::string>& value_options,
                                const std::vector<std::string>& flag_options) {
    ParsedArguments parsed;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (arg == "--help" || arg == "-h") {
            parsed.help = true;
            continue;
        }
        if (arg == "-o")
            arg = "--output";
        if (arg.size() > 1 && arg[0] == '-') {
            std::string inline_value;
            const size_t equals = arg.find('=');
            const bool has_inline = equals != std::string::npos;
            if (has_inline) {
                inline_value = arg.substr(equals + 1);
                arg = arg.substr(0, equals);
            }
            if (std::find(value_options.begin(), value_options.end(), arg) != value_options.end()) {
                if (has_inline) {
                    parsed.values.emplace_back(arg, inline_value);
                } else if (i + 1 < args.size()) {
                    parsed.values.emplace_back(arg, args[++i]);
                } else {
                    throw UsageError{"option " + arg + " needs a value"};
                }
            } else if (std::find(flag_options.begin(), flag_options.end(), arg) !=
                       flag_options.end()) {
                parsed.flags.push_back(arg);
            } else {
                throw UsageError{"unknown option " + arg};
            }
            continue;
        }
        parsed.positional.push_back(arg);
    }
    return parsed;
}

ParsedArguments parse_command(const Arguments& args, const char* help, const char* operand,
                              const std::vector<std::string>& value_options,
                              const std::vector<std::string>& flag_options) {
    ParsedArguments parsed = parse_arguments(args, value_options, flag_options);
    if (parsed.help)
        std::fputs(help, stdout);
    else if (parsed.positional.size() != 1)
        throw UsageError{std::string("expects one ") + operand};
    return parsed;
}

float parse_float(const std::string& text, const char* option) {
    try {
        size_t used = 0;
        const float value = std::stof(text, &used);
        if (used == text.size() && std::isfinite(value))
            return value;
    } catch (const std::exception&) {
    }
    throw UsageError{std::string(option) + " needs a number, not '" + text + "'"};
}

void parse_size(const std::string& text, int32_t& width, int32_t& height, const char* option) {
    int w = 0;
    int h = 0;
    char extra = 0;
    if (std::sscanf(text.c_str(), "%dx%d%c", &w, &h, &extra) != 2 || w <= 0 || h <= 0 ||
        w > 16384 || h > 16384) {
        throw UsageError{std::string(option) + " needs WxH, for example 1280x720, not '" + text +
                         "'"};
    }
    width = w;
    height = h;
}

}  // namespace demo
