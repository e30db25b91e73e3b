#include "reference_check.h"

#include "timeline/timeline_check.h"

namespace demo {

namespace {

// "'cube.glb'" for a name a project gave, "id 12" for a package's identifier.
template <typename T>
std::string said(const ObjectRef<T>& ref) {
    return ref.key.empty() ? "id " + std::to_string(ref.id) : "'" + ref.key + "'";
}

template <typename T>
bool names_nothing(const ObjectRef<T>& ref) {
    return ref.object == nullptr && (ref.id != 0 || !ref.key.empty());
}

}  // namespace

std::vector<std::string> find_reference_problems(const Demo& demo) {
    std::vector<std::string> lines;
    for (const auto& effect : demo.effects) {
        for (const std::string& line : effect->dangling_references())
            lines.push_back(line);
    }
    for (const auto& texture : demo.font_textures) {
        if (texture->font.object == nullptr) {
            lines.push_back("font texture '" + texture->name + "': " +
                            (names_nothing(texture->font)
                                 ? "font " + said(texture->font) + " names nothing"
                                 : std::string("has no font")) +
                            ", so it stays empty");
        }
    }
    for (const auto& scene : demo.scenes) {
        if (scene->root_node && names_nothing(scene->root_node->model)) {
            lines.push_back("scene '" + scene->name + "': model " + said(scene->root_node->model) +
                            " names nothing");
        }
        if (names_nothing(scene->camera_scene)) {
            lines.push_back("scene '" + scene->name + "': camera_scene " +
                            said(scene->camera_scene) + " names nothing");
        }
    }
    for (const std::string& line : find_timeline_problems(demo))
        lines.push_back(line);
    return lines;
}

}  // namespace demo
