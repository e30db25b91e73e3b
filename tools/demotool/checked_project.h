// A project document read for checking: what its text says is wrong, and its demo as far as
// it loads, every missing side file read as empty so that one run finds every problem.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "common/package_file.h"
#include "demo/project_check.h"

namespace demo {

struct CheckedProject {
    DocumentFindings findings;
    std::unique_ptr<Demo> demo;
    // The demo is the project as written: nothing was missing or read otherwise.
    bool complete = true;

    // The document's problems, then every reference of the demo that names nothing.
    std::vector<std::string> problems() const;
};

// Checks and reads the project document of `input` (side files beside it) with `media`,
// quietly (QuietLoad): its problems are for the caller to say. Throws std::runtime_error when
// the document is no JSON object, or when the demo does not load even so.
CheckedProject read_checked_project(const PackageBytes& input, MediaHooks* media = nullptr);

}  // namespace demo
