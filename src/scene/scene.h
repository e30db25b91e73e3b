// What an effect draws in 3D: a root node naming a model, the camera that views it, the
// light's orthographic camera, and the depth target of the shadow pass.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "scene/camera.h"
#include "scene/node.h"
#include "serialization/id_registry.h"
#include "serialization/json_key_maps.h"
#include "serialization/object_ref.h"
#include "serialization/serializable.h"

namespace demo {

class Scene : public ISerializable {
public:
    std::unique_ptr<Node> root_node;
    std::unique_ptr<Camera> camera;
    std::unique_ptr<Camera> light_camera;  // always present once constructed
    std::string name;
    ObjectRef<Scene> camera_scene;  // the scene whose camera this one follows
    bool camera_scene_only_direction = false;
    bool shadow_pass = false;  // set only while the shadow pass draws this scene
    int32_t shadow_width = 8192;
    int32_t shadow_height = 8192;
    uint32_t shadow_fbo = 0;
    uint32_t shadow_depth_texture = 0;

    Scene();
    explicit Scene(InputStream& in) { read_binary(in); }
    explicit Scene(const Json& value) { from_json(value); }

    // "name", "camera" and "root_node" when set, "camera_scene" (a scene name) when set, and
    // "camera_scene_only_direction" always.
    Json to_json(bool export_files) const override;
    // name, camera marker and record, node marker and form, camera scene id, the flag byte.
    void write_binary(OutputStream& out) const override;
    void from_json(const Json& value) override;
    void read_binary(InputStream& in) override;

    // Links a scene read from a project: the root node's model by file name and the camera
    // scene by name, from the scene's own JSON object. Unknown names link nothing.
    void link_by_name(const Json& value, const std::map<std::string, Model*>& models,
                      const std::map<std::string, Scene*>& scenes);
    // Links a scene read from a package through the identifiers it stored.
    void resolve_references(const IdRegistry& registry);

    // Problems that make the scene draw nothing, one line each ("scene 'x': ...").
    std::vector<std::string> problems() const;

private:
    // The light camera every scene starts with, re-aimed by its effect event each frame.
    void create_light_camera();
    // Says once at load when the scene cannot be drawn as it stands.
    void report_problems() const;
};

// The camera the scene is drawn with now: the light camera in the shadow pass, else the
// followed scene's camera (or this scene's own, re-aimed along the followed direction), else
// its own. None when the scene has no camera to draw with.
Camera* active_camera(Scene& scene);

}  // namespace demo
