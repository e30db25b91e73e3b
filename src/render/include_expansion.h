// Include directives in fragment sources, and where each line of the expanded text came from,
// so that compile messages can name the file and line a demo maker edits.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "render/shader_program.h"

namespace demo {

// A line of a shader file, counted from 1.
struct SourceLine {
    std::string file;
    int line = 0;
};

// One origin per line of `text` from `file` (a text with n line breaks has n + 1 lines).
std::vector<SourceLine> source_lines(const std::string& file, const std::string& text);

// Expands include directives: for every other program of `programs`, in order, the first
// `#include "<its fragment file name>"` in the text so far is replaced by its authored
// fragment source. Directives naming the program itself or no program stay as they are.
// With `origins`, also tells for each line of the result the file line it came from (the
// rest of a line that held a directive counts as the included text's last line).
std::string expand_includes(const ShaderProgram& program,
                            const std::vector<std::unique_ptr<ShaderProgram>>& programs,
                            std::vector<SourceLine>* origins = nullptr);

// A compile or link log with each message's source reference ("0:12(5):" from Mesa,
// "0(12) :" from NVIDIA, "ERROR: 0:12:" from AMD) replaced by the file and line it came from
// through `origins` ("shaders/x.frag:12:5:"). Lines whose reference falls outside `origins`
// and lines without one are kept as they are.
std::string locate_compile_log(const std::string& log, const std::vector<SourceLine>& origins);

}  // namespace demo
