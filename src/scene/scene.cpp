#include "scene/scene.h"

#include <cstdio>

#include "scene/model.h"
#include "serialization/json_fields.h"
#include "serialization/primitives.h"
#include "serialization/stored_string.h"

namespace demo {

namespace {

// Marker of a camera or root node that follows in the binary form.
constexpr uint64_t kPresent = 1;

}  // namespace

Scene::Scene() {
    create_light_camera();
}

void Scene::create_light_camera() {
    light_camera = std::make_unique<Camera>();
    Camera& light = *light_camera;
    light.orthographic = true;
    light.ortho_size = 100.0f;
    light.position = glm::vec3(300.0f, 50.0f, 0.0f);
    light.direction = glm::vec3(0.0f);
    light.direction_mode = false;
    light.up = glm::vec3(0.0f, 1.0f, 0.0f);
    light.aspect = 1.0f;
    light.fov = 90.0f;
    light.znear = 1.0f;
    light.zfar = 1000.0f;
}

Json Scene::to_json(bool export_files) const {
    Json value = Json::object();
    value["name"] = name;
    if (camera)
        value["camera"] = camera->to_json(export_files);
    if (root_node)
        value["root_node"] = root_node->to_json(export_files);
    if (camera_scene.object != nullptr)
        value["camera_scene"] = camera_scene.object->name;
    else if (!camera_scene.key.empty())
        value["camera_scene"] = camera_scene.key;  // unresolved: written back as read
    value["camera_scene_only_direction"] = camera_scene_only_direction;
    return value;
}

void Scene::write_binary(OutputStream& out) const {
    write_string(name, out);
    // Readers only test the markers for zero.
    write_u64(out, camera ? kPresent : 0);
    if (camera)
        camera->write_binary(out);
    write_u64(out, root_node ? kPresent : 0);
    if (root_node)
        root_node->write_binary(out);
    write_u64(out, out.id_of(camera_scene.object));
    write_bool(out, camera_scene_only_direction);
}

void Scene::from_json(const Json& value) {
    shadow_width = shadow_height = 8192;
    shadow_pass = false;
    name = json_string(value, "name");
    camera.reset();
    root_node.reset();
    if (value.is_object() && value.contains("camera"))
        camera = std::make_unique<Camera>(value["camera"]);
    if (value.is_object() && value.contains("root_node"))
        root_node = std::make_unique<Node>(value["root_node"]);
    camera_scene.key = json_string(value, "camera_scene");
    camera_scene_only_direction = json_bool(value, "camera_scene_only_direction", false);
    create_light_camera();
}

void Scene::read_binary(InputStream& in) {
    shadow_width = shadow_height = 8192;
    shadow_pass = false;
    name = read_string(in, "a scene name");
    camera.reset();
    root_node.reset();
    if (read_u64(in, "a scene's camera marker") != 0)
        camera = std::make_unique<Camera>(in);
    if (read_u64(in, "a scene's root node marker") != 0)
        root_node = std::make_unique<Node>(in);
    camera_scene.id = read_u64(in, "a scene's camera scene");
    camera_scene_only_direction = read_bool(in, "a scene's direction-only flag");
    create_light_camera();
}

void Scene::link_by_name(const Json& value, const std::map<std::string, Model*>& models,
                         const std::map<std::string, Scene*>& scenes) {
    if (root_node) {
        root_node->model.object = nullptr;
        const Json* node =
            value.is_object() && value.contains("root_node") ? &value["root_node"] : nullptr;
        if (node != nullptr && node->is_object() && node->contains("model"))
            root_node->model.resolve(models);
    }
    camera_scene.object = nullptr;
    if (value.is_object() && value.contains("camera_scene"))
        camera_scene.resolve(scenes);
    report_problems();
}

void Scene::resolve_references(const IdRegistry& registry) {
    if (root_node)
        root_node->model.resolve(registry);
    camera_scene.resolve(registry);
    report_problems();
}

std::vector<std::string> Scene::problems() const {
    std::vector<std::string> lines;
    const std::string label = "scene '" + name + "': ";
    // A model or camera scene named but not found is told with the references that resolve
    // to nothing, and not again here.
    const auto named = [](const auto& ref) { return ref.id != 0 || !ref.key.empty(); };
    if (!root_node || (root_node->model.object == nullptr && !named(root_node->model)))
        lines.push_back(label + "has no model, so it draws nothing");
    const bool borrowed = camera_scene.object != nullptr && camera_scene.object->camera;
    if (!camera && !borrowed && (camera_scene.object != nullptr || !named(camera_scene))) {
        lines.push_back(label +
                        "has no camera of its own and borrows none, so its visible pass draws "
                        "nothing");
    }
    return lines;
}

void Scene::report_problems() const {
    // Only the camera is said at load; a scene without a model is a choice an author may make.
    if (!camera && (camera_scene.object == nullptr || !camera_scene.object->camera)) {
        std::printf(
            "Scene '%s' has no camera of its own and borrows none: nothing is drawn in "
            "its visible pass\n",
            name.c_str());
    }
}

Camera* active_camera(Scene& scene) {
    if (scene.shadow_pass)
        return scene.light_camera.get();
    if (scene.camera_scene.object != nullptr) {
        Camera* other = scene.camera_scene.object->camera.get();
        // Only the direction is followed when the scene has a camera to carry it; a scene
        // without one uses the other camera whole.
        if (scene.camera_scene_only_direction && scene.camera && other != nullptr) {
            scene.camera->direction =
                other->direction_mode ? other->direction : other->direction - other->position;
            return scene.camera.get();
        }
        if (other != nullptr)
            return other;
    }
    return scene.camera.get();
}

}  // namespace demo
