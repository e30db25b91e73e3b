#include "render/include_expansion.h"

#include <algorithm>
#include <regex>
#include <sstream>

namespace demo {

namespace {

// "<prefix>" "<string index>" "<line>" "<column or empty>" "<message>" as matched by the three
// drivers' formats.
struct LogReference {
    std::string prefix;
    int line = 0;
    std::string column;
    std::string message;
};

bool parse_reference(const std::string& text, LogReference& out) {
    static const std::regex mesa(R"(^()\d+:(\d{1,9})\((\d{1,9})\): ?(.*)$)");
    static const std::regex nvidia(R"(^()\d+\((\d{1,9})\)()\s*: ?(.*)$)");
    static const std::regex amd(R"(^((?:ERROR|WARNING): )\d+:(\d{1,9})():\s*(.*)$)");
    std::smatch m;
    for (const std::regex* format : {&mesa, &nvidia, &amd}) {
        if (std::regex_match(text, m, *format)) {
            out = {m[1].str(), std::stoi(m[2].str()), m[3].str(), m[4].str()};
            return true;
        }
    }
    return false;
}

}  // namespace

std::vector<SourceLine> source_lines(const std::string& file, const std::string& text) {
    const int count = static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1;
    std::vector<SourceLine> lines;
    lines.reserve(static_cast<size_t>(count));
    for (int line = 1; line <= count; ++line)
        lines.push_back({file, line});
    return lines;
}

std::string expand_includes(const ShaderProgram& program,
                            const std::vector<std::unique_ptr<ShaderProgram>>& programs,
                            std::vector<SourceLine>* origins) {
    std::string text = program.fragment_shader_source;
    if (origins != nullptr)
        *origins = source_lines(program.fragment_shader_filename, text);
    for (const auto& other : programs) {
        if (other.get() == &program)
            continue;
        const std::string directive = "#include \"" + other->fragment_shader_filename + "\"";
        const size_t at = text.find(directive);
        if (at == std::string::npos)
            continue;
        if (origins != nullptr) {
            // The directive's line becomes the included text's lines.
            const auto line =
                static_cast<ptrdiff_t>(std::count(text.begin(), text.begin() + at, '\n'));
            const std::vector<SourceLine> included =
                source_lines(other->fragment_shader_filename, other->fragment_shader_source);
            origins->erase(origins->begin() + line);
            origins->insert(origins->begin() + line, included.begin(), included.end());
        }
        text.replace(at, directive.size(), other->fragment_shader_source);
    }
    return text;
}

std::string locate_compile_log(const std::string& log, const std::vector<SourceLine>& origins) {
    std::istringstream lines(log);
    std::string result;
    std::string text;
    while (std::getline(lines, text)) {
        LogReference ref;
        if (parse_reference(text, ref) && ref.line >= 1 &&
            static_cast<size_t>(ref.line) <= origins.size()) {
            const SourceLine& origin = origins[static_cast<size_t>(ref.line) - 1];
            text = ref.prefix + origin.file + ":" + std::to_string(origin.line) +
                   (ref.column.empty() ? "" : ":" + ref.column) + ": " + ref.message;
        }
        result += text + "\n";
    }
    return result;
}

}  // namespace demo
