#include "render/effect.h"

#include "render/font_texture.h"
#include "render/shader_program.h"
#include "render/texture.h"
#include "scene/scene.h"
#include "serialization/json_fields.h"
#include "serialization/primitives.h"
#include "serialization/stored_string.h"

namespace demo {

namespace {

template <typename T>
void write_refs(OutputStream& out, const std::vector<ObjectRef<T>>& refs) {
    write_u64(out, refs.size());
    for (const auto& ref : refs)
        write_u64(out, out.id_of(ref.object));
}

template <typename T>
void read_refs(InputStream& in, std::vector<ObjectRef<T>>& refs, const char* what) {
    const uint64_t count = read_count(in, 8, what);
    refs.assign(count, ObjectRef<T>{});
    for (auto& ref : refs)
        ref.id = read_u64(in, what);
}

template <typename T>
std::string key_of(const ObjectRef<T>& ref) {
    if (ref.object == nullptr)
        return ref.key;
    if constexpr (std::is_same_v<T, ShaderProgram>) {
        return ref.object->fragment_shader_filename;
    } else {
        return ref.object->name;
    }
}

template <typename T>
Json keys_to_json(const std::vector<ObjectRef<T>>& refs) {
    Json array = Json::array();
    for (const auto& ref : refs)
        array.push_back(key_of(ref));
    return array;
}

template <typename T>
void keys_from_json(const Json& value, const char* key, std::vector<ObjectRef<T>>& refs) {
    refs.clear();
    for (const Json& element : json_array(value, key)) {
        ObjectRef<T> ref;
        ref.key = element.is_string() ? element.get<std::string>() : std::string();
        refs.push_back(std::move(ref));
    }
}

template <typename T>
void report_dangling(const std::vector<ObjectRef<T>>& refs, const std::string& effect,
                     const char* kind, std::vector<std::string>& lines) {
    for (const auto& ref : refs) {
        if (ref.object != nullptr)
            continue;
        lines.push_back("effect '" + effect + "': " + kind + " " +
                        (ref.key.empty() ? "id " + std::to_string(ref.id) : "'" + ref.key + "'") +
                        " names nothing");
    }
}

}  // namespace

Json Effect::to_json(bool /*export_files*/) const {
    Json value = Json::object();
    value["name"] = name;
    value["textures"] = keys_to_json(textures);
    value["effects"] = keys_to_json(effects);
    value["font_textures"] = keys_to_json(font_textures);
    value["program"] = key_of(program);
    value["feedback"] = feedback;
    value["screen_texture"] = screen_texture;
    if (scene.object != nullptr)
        value["scene"] = scene.object->name;
    else if (!scene.key.empty())
        value["scene"] = scene.key;  // unresolved: written back as it was read
    return value;
}

void Effect::write_binary(OutputStream& out) const {
    write_refs(out, textures);
    write_refs(out, effects);
    write_refs(out, font_textures);
    write_u64(out, out.id_of(program.object));
    write_string(name, out);
    write_bool(out, feedback);
    write_bool(out, screen_texture);
    write_u64(out, out.id_of(scene.object));
}

void Effect::from_json(const Json& value) {
    name = json_string(value, "name");
    keys_from_json(value, "textures", textures);
    keys_from_json(value, "effects", effects);
    keys_from_json(value, "font_textures", font_textures);
    program.key = json_string(value, "program");
    has_scene_key = value.is_object() && value.contains("scene");
    scene.key = json_string(value, "scene");
    feedback = json_bool(value, "feedback", false);
    screen_texture = json_bool(value, "screen_texture", false);
}

void Effect::read_binary(InputStream& in) {
    read_refs(in, textures, "an effect's textures");
    read_refs(in, effects, "an effect's input effects");
    read_refs(in, font_textures, "an effect's font textures");
    program.id = read_u64(in, "an effect's program");
    name = read_string(in, "an effect name");
    feedback = read_bool(in, "an effect's feedback flag");
    screen_texture = read_bool(in, "an effect's screen texture flag");
    scene.id = read_u64(in, "an effect's scene");
}

void Effect::resolve_references(const IdRegistry& registry) {
    for (auto& ref : textures)
        ref.resolve(registry);
    for (auto& ref : effects)
        ref.resolve(registry);
    for (auto& ref : font_textures)
        ref.resolve(registry);
    scene.resolve(registry);
    program.resolve(registry);
}

void Effect::resolve_references(const JsonKeyMaps& keys) {
    for (auto& ref : effects)
        ref.resolve(keys.effects);
    for (auto& ref : textures)
        ref.resolve(keys.textures);
    for (auto& ref : font_textures)
        ref.resolve(keys.font_textures);
    scene.object = nullptr;
    if (has_scene_key)
        scene.resolve(keys.scenes);
    program.resolve(keys.shaders);
}

std::vector<std::string> Effect::dangling_references() const {
    std::vector<std::string> lines;
    report_dangling(textures, name, "texture", lines);
    report_dangling(effects, name, "input effect", lines);
    report_dangling(font_textures, name, "font texture", lines);
    if (scene.object == nullptr && (scene.id != 0 || !scene.key.empty())) {
        lines.push_back(
            "effect '" + name + "': scene " +
            (scene.key.empty() ? "id " + std::to_string(scene.id) : "'" + scene.key + "'") +
            " names nothing");
    }
    if (program.object == nullptr) {
        lines.push_back("effect '" + name + "': " +
                        (program.key.empty() ? "has no program"
                                             : "program '" + program.key + "' names nothing") +
                        ", so it draws nothing and its events are skipped");
    }
    return lines;
}

}  // namespace demo
