#include "checked_project.h"

#include "quiet_load.h"
#include "reference_check.h"

namespace demo {

std::vector<std::string> CheckedProject::problems() const {
    std::vector<std::string> lines = findings.problems;
    for (std::string& line : find_reference_problems(*demo))
        lines.push_back(std::move(line));
    return lines;
}

CheckedProject read_checked_project(const PackageBytes& input, MediaHooks* media) {
    Json document = parse_document(input.path, input.file);
    CheckedProject checked;
    const std::filesystem::path folder = std::filesystem::path(input.path).parent_path();
    checked.findings = check_project_document(document, folder);
    checked.complete = !make_loadable(document, checked.findings, folder);
    const QuietLoad quiet;
    checked.demo = read_document(input.path, document, media);
    return checked;
}

}  // namespace demo
