// The check of a project document as the demo maker wrote it, before anything is loaded: keys
// no reader takes, values of the wrong JSON type or out of range, and side files that are not
// there. Every problem is found in one pass, each said once.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "serialization/json.h"

namespace demo {

// A side file the document names that is not there.
struct MissingSideFile {
    std::string collection;  // "shaders", "textures", ...; empty for the music
    size_t index = 0;        // of the element in its collection
};

struct DocumentFindings {
    std::vector<std::string> problems;
    std::vector<MissingSideFile> missing;

    // Whether a side file of that element is missing, so what its loading says is a follow-on.
    bool is_missing(const std::string& collection, size_t index) const;
};

// Checks `document`, whose side files are named from `folder` (as the user gave it: the paths
// looked for are said from there).
DocumentFindings check_project_document(const Json& document, const std::filesystem::path& folder);

// Makes `document` load without ending the process: every missing side file is given as empty
// contents in the document, every event type outside what is stored as 0. What is found wrong
// in it has been said by the check already. Edits in place, since a copy of a deeply nested
// document would recurse as deep as it nests; returns whether anything was changed.
bool make_loadable(Json& document, const DocumentFindings& findings,
                   const std::filesystem::path& folder);

}  // namespace demo
