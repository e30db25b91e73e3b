#include "demo/demo.h"

#include <filesystem>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <unordered_map>

#include "serialization/file_io.h"
#include "serialization/id_registry.h"
#include "serialization/json_fields.h"
#include "serialization/json_key_maps.h"
#include "serialization/package_error.h"
#include "serialization/primitives.h"
#include "serialization/text_encoding.h"

namespace demo {

namespace {

// Order in which a project document's collections are created: everything an object refers
// to exists before it.
constexpr std::array<Collection, kCollectionCount> kJsonCreationOrder = {
    kTextures, kShaders, kFonts,        kFontTextures, kDatas, kModels,
    kScenes,   kEffects, kAudioSamples, kEventGroups,  kEvents};

// Identifier plus the smallest stored element (an event's type and track count): used to
// refuse counts that cannot fit in what is left of the package.
constexpr uint64_t kMinStoredElement = 8 + 9;

// What loading does with an element right after its stored form was read.
template <typename T>
void element_loaded(MediaHooks* media, T& element) {
    if (media == nullptr)
        return;
    if constexpr (std::is_same_v<T, AudioSample>)
        media->audio_sample_loaded(element);
    else if constexpr (std::is_same_v<T, ShaderProgram>)
        media->shader_program_loaded(element);
    else if constexpr (std::is_same_v<T, Texture>)
        media->texture_loaded(element);
    else if constexpr (std::is_same_v<T, Font>)
        media->font_loaded(element);
    else if constexpr (std::is_same_v<T, Model>)
        media->model_loaded(element);
    else if constexpr (std::is_same_v<T, Scene>)
        media->scene_loaded(element);
}

// Enters an element of a project document into its collection's key map, and resolves what
// can be resolved at once.
void enter_key(JsonKeyMaps& keys, MediaHooks* media, FontTexture& texture) {
    keys.font_textures[texture.name] = &texture;
    texture.resolve_references(keys);
    if (media != nullptr)
        media->font_texture_resolved(texture);
}
void enter_key(JsonKeyMaps& keys, MediaHooks*, Texture& texture) {
    keys.textures[texture.name] = &texture;
}
void enter_key(JsonKeyMaps& keys, MediaHooks*, ShaderProgram& program) {
    keys.shaders[program.fragment_shader_filename] = &program;
}
void enter_key(JsonKeyMaps& keys, MediaHooks*, Font& font) {
    keys.fonts[font.name] = &font;
}
void enter_key(JsonKeyMaps& keys, MediaHooks*, Effect& effect) {
    keys.effects[effect.name] = &effect;
}
void enter_key(JsonKeyMaps& keys, MediaHooks*, AudioSample& sample) {
    keys.audio_samples[sample.name] = &sample;
}
void enter_key(JsonKeyMaps& keys, MediaHooks*, EventGroup& group) {
    keys.event_groups[group.name] = &group;
}
void enter_key(JsonKeyMaps& keys, MediaHooks*, Model& model) {
    keys.models[model.filename] = &model;
}
void enter_key(JsonKeyMaps& keys, MediaHooks*, Scene& scene) {
    keys.scenes[scene.name] = &scene;
}
void enter_key(JsonKeyMaps&, MediaHooks*, Event&) {}
void enter_key(JsonKeyMaps&, MediaHooks*, Data&) {}

// Rewrites every string and key of a document that is not valid UTF-8 as its Latin-1
// characters in UTF-8, which a JSON text must be. The rule depends on the bytes alone, so
// equal names stay equal and references by name still match.
void make_text_utf8(Json& value) {
    if (value.is_string()) {
        const std::string& text = value.get_ref<const std::string&>();
        if (!is_valid_utf8(text))
            value = latin1_to_utf8(text);
    } else if (value.is_array()) {
        for (Json& element : value)
            make_text_utf8(element);
    } else if (value.is_object()) {
        Json fixed = Json::object();
        for (auto& [key, element] : value.items()) {
            make_text_utf8(element);
            fixed[as_utf8(key)] = std::move(element);
        }
        value = std::move(fixed);
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Binary form
// ---------------------------------------------------------------------------------------------

Demo::Demo(InputStream& in, MediaHooks* hooks) : media(hooks) {
    read_binary(in);
}

void Demo::read_binary(InputStream& in) {
    // The hooks see the package only while it is read, including when the read fails.
    struct PackageForHooks {
        MediaHooks* media;
        PackageForHooks(MediaHooks* hooks, InputStream& in) : media(hooks) {
            if (media != nullptr)
                media->package = &in;
        }
        ~PackageForHooks() {
            if (media != nullptr)
                media->package = nullptr;
        }
    } package_for_hooks(media, in);
    IdRegistry registry;
    uint64_t objects_read = 0;
    total_objects = read_u64(in, "the object total");
    // Collections are visited in their stored order.
    visit_collections([&](size_t which, auto& elements) {
        const std::string name(kCollectionNames[which]);
        const uint64_t count = read_count(in, kMinStoredElement, ("the count of " + name).c_str());
        using Element = typename std::decay_t<decltype(elements)>::value_type::element_type;
        for (uint64_t i = 0; i < count; ++i) {
            const uint64_t id = read_u64(in, "an object identifier");
            elements.push_back(std::make_unique<Element>(in));
            element_loaded(media, *elements.back());
            // A repeated identifier is re-pointed at the later object; both stay loaded.
            registry[id] = elements.back().get();
            load_progress(objects_read++, total_objects);
        }
    });
    music = std::make_unique<ByteBuffer>(in);
    resolve_references(registry);
    end_beat = read_f32(in, "the end beat");
    bpm = read_f32(in, "the tempo");
    beat_offset = read_f32(in, "the beat offset");
    if (media != nullptr)
        media->demo_loaded(*this);
    load_progress(total_objects, total_objects);
}

void Demo::resolve_references(const IdRegistry& registry) {
    for (auto& event : events)
        event->resolve_references(registry);
    for (auto& effect : effects) {
        effect->resolve_references(registry);
        if (media != nullptr)
            media->effect_resolved(*effect);
    }
    for (auto& group : event_groups)
        group->resolve_references(registry);
    for (auto& texture : font_textures) {
        texture->resolve_references(registry);
        if (media != nullptr)
            media->font_texture_resolved(*texture);
    }
    for (auto& scene : scenes)
        scene->resolve_references(registry);
}

std::unordered_map<const void*, uint64_t> Demo::assign_ids() const {
    std::unordered_map<const void*, uint64_t> ids;
    uint64_t next = 1;
    visit_collections([&](size_t, const auto& elements) {
        for (const auto& element : elements)
            ids.emplace(element.get(), next++);
    });
    return ids;
}

void Demo::write_binary(OutputStream& out) const {
    const auto ids = assign_ids();
    out.set_id_table(&ids);
    uint64_t total = 0;
    visit_collections([&](size_t, const auto& elements) { total += elements.size(); });
    write_u64(out, total);
    visit_collections([&](size_t, const auto& elements) {
        write_u64(out, elements.size());
        for (const auto& element : elements) {
            write_u64(out, out.id_of(element.get()));
            element->write_binary(out);
        }
    });
    write_buffer_or_empty(out, music);
    write_f32(out, end_beat);
    write_f32(out, bpm);
    write_f32(out, beat_offset);
    out.set_id_table(nullptr);
}

// ---------------------------------------------------------------------------------------------
// JSON form
// ---------------------------------------------------------------------------------------------

Json Demo::to_json(bool export_files) const {
    Json doc = Json::object();
    visit_collections([&](size_t which, const auto& elements) {
        Json array = Json::array();
        for (const auto& element : elements)
            array.push_back(element->to_json(export_files));
        doc[std::string(kCollectionNames[which])] = std::move(array);
    });
    // Timing values are always floats: readers of other projects may take integers as 0.
    doc["end_beat"] = static_cast<double>(end_beat);
    doc["bpm"] = static_cast<double>(bpm);
    doc["beat_offset"] = static_cast<double>(beat_offset);
    const ByteBuffer empty;
    const ByteBuffer& song = music ? *music : empty;
    if (export_files) {
        write_side_file(kMusicSideFile, song.data.data(), song.size());
        // Side files go under the names the document gives them.
        for (const std::string& name : side_file_names()) {
            if (is_valid_utf8(name))
                continue;
            const std::filesystem::path renamed = latin1_to_utf8(name);
            std::error_code ignored;
            if (renamed.has_parent_path())
                std::filesystem::create_directories(renamed.parent_path(), ignored);
            std::filesystem::rename(name, renamed, ignored);
        }
    } else {
        doc["music"] = song.to_json(false);
    }
    make_text_utf8(doc);
    return doc;
}

void Demo::from_json(const Json& value) {
    total_objects = 0;
    for (std::string_view name : kCollectionNames) {
        total_objects += json_array(value, std::string(name).c_str()).size();
    }
    JsonKeyMaps keys;
    uint64_t objects_read = 0;
    for (Collection index : kJsonCreationOrder) {
        const std::string name(kCollectionNames[index]);
        const Json& elements = json_array(value, name.c_str());
        visit_collections([&](size_t which, auto& collection) {
            if (which != index)
                return;
            using Element = typename std::decay_t<decltype(collection)>::value_type::element_type;
            for (const Json& element : elements) {
                collection.push_back(std::make_unique<Element>(element));
                element_loaded(media, *collection.back());
                enter_key(keys, media, *collection.back());
                load_progress(++objects_read, total_objects);
            }
        });
        if (index == kScenes) {
            for (size_t i = 0; i < scenes.size(); ++i)
                scenes[i]->link_by_name(elements[i], keys.models, keys.scenes);
        }
        if (index == kEffects) {
            for (auto& effect : effects) {
                effect->resolve_references(keys);
                if (media != nullptr)
                    media->effect_resolved(*effect);
            }
        }
        if (index == kEvents) {
            // Groups are resolved after the events they name exist, wherever they stand.
            for (auto& event : events)
                event->resolve_references(keys);
            for (auto& event : events)
                keys.events[event->name] = event.get();
            for (auto& group : event_groups)
                group->resolve_references(keys);
        }
    }
    if (value.is_object() && value.contains("music")) {
        music = std::make_unique<ByteBuffer>(value["music"]);
    } else {
        music = std::make_unique<ByteBuffer>(std::string(kMusicSideFile));
    }
    end_beat = json_float(value, "end_beat");
    bpm = json_float(value, "bpm");
    beat_offset = json_float(value, "beat_offset");
    if (media != nullptr)
        media->demo_loaded(*this);
    load_progress(total_objects, total_objects);
}

std::vector<std::string> Demo::side_file_names() const {
    std::vector<std::string> names = {kMusicSideFile};
    for (const auto& program : shaders) {
        names.push_back(program->vertex_shader_filename);
        names.push_back(program->fragment_shader_filename);
    }
    for (const auto& texture : textures)
        names.push_back(texture->name);
    for (const auto& sample : audio_samples)
        names.push_back(sample->name);
    for (const auto& font : fonts)
        names.push_back(font->filename);
    for (const auto& data : datas)
        names.push_back(data->name);
    for (const auto& model : models)
        names.push_back(model->filename);
    return names;
}

// ---------------------------------------------------------------------------------------------
// Loading progress
// ---------------------------------------------------------------------------------------------

void Demo::load_progress(uint64_t objects_read, uint64_t total) {
    if (on_progress)
        on_progress(objects_read, total);
}

}  // namespace demo
