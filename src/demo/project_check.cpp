#include "demo/project_check.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <functional>

#include "scene/model.h"
#include "serialization/file_io.h"
#include "serialization/json_fields.h"
#include "serialization/project_schema.h"

namespace demo {

namespace fs = std::filesystem;

namespace {

constexpr const char* kEventTypes = "the types are 1 (effect), 2 (audio sample) and 3 (group)";
constexpr const char* kTrackModes = "the modes are 0 (last value), 1 (linear) and 2 (smooth)";

// Numbers as a demo maker wrote them: 4, not 4.000000.
std::string number(double value) {
    Json j = value;
    if (std::floor(value) == value && std::fabs(value) < 1e15)
        j = static_cast<int64_t>(value);
    return j.dump();
}

const Json* member(const Json& object, const char* key) {
    if (!object.is_object())
        return nullptr;
    auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

// "event 'cube'", or "event #3" for one without a name.
std::string label(const char* what, const Json& object, size_t index, const char* name_key) {
    const std::string name = json_string(object, name_key);
    return std::string(what) +
           (name.empty() ? " #" + std::to_string(index + 1) : " '" + name + "'");
}

ObjectKind event_kind(const Json& event) {
    switch (json_int(event, "type", member(event, "type") == nullptr ? 1 : 0)) {
        case 1:
            return ObjectKind::EffectEvent;
        case 2:
            return ObjectKind::AudioSampleEvent;
        case 3:
            return ObjectKind::GroupEvent;
        default:
            return ObjectKind::OtherEvent;
    }
}

// Which event type takes `key`, for a key an event of another type carries.
std::string event_type_taking(const std::string& key) {
    const std::pair<ObjectKind, const char*> types[] = {
        {ObjectKind::EffectEvent, "type 1 (effect)"},
        {ObjectKind::AudioSampleEvent, "type 2 (audio sample)"},
        {ObjectKind::GroupEvent, "type 3 (group)"}};
    for (const auto& [kind, said] : types) {
        if (find_key(kind, key) != nullptr)
            return said;
    }
    return "";
}

bool is_event(ObjectKind kind) {
    return kind == ObjectKind::EffectEvent || kind == ObjectKind::AudioSampleEvent ||
           kind == ObjectKind::GroupEvent || kind == ObjectKind::OtherEvent;
}

class DocumentCheck {
public:
    DocumentCheck(const fs::path& folder, DocumentFindings& findings)
        : folder_(folder), findings_(findings) {}

    void document(const Json& doc);

private:
    void say(const std::string& problem) { findings_.problems.push_back(problem); }
    bool object(const Json& value, ObjectKind kind, const std::string& what);
    void elements(const Json& doc, const char* collection, const char* what, const char* name_key,
                  const std::function<void(const Json&, size_t, const std::string&)>& more);
    void event(const Json& event, const std::string& what);
    void track(const Json& track, const std::string& what);
    void positive(const Json& object, const char* key, const std::string& what,
                  const std::string& because = "");
    void side_file(const Json& element, const char* embedded_key, const char* name_key,
                   const std::string& what, const char* collection, size_t index);
    bool file_there(const std::string& name, const std::string& what, const std::string& said,
                    const std::string& hint = "");
    void gltf_files(const std::string& model, const std::string& what, size_t index);
    std::string music_hint() const;

    fs::path folder_;
    DocumentFindings& findings_;
};

// Says what is wrong with the object's shape: not an object, keys no reader takes, values of
// the wrong type. False when it is not an object at all.
bool DocumentCheck::object(const Json& value, ObjectKind kind, const std::string& what) {
    if (!value.is_object()) {
        say(what + " is " + json_type_said(value) + ", not an object");
        return false;
    }
    std::vector<std::string> known;
    for (const KeySchema& key : keys_of(kind))
        known.push_back(key.key);
    for (const auto& [key, element] : value.items()) {
        const KeySchema* schema = find_key(kind, key);
        if (schema == nullptr) {
            const std::string other = is_event(kind) ? event_type_taking(key) : "";
            // Of an event whose type is wrong, the type is the one mistake.
            if (kind == ObjectKind::OtherEvent && !other.empty())
                continue;
            const std::string near = nearest_word(key, known);
            if (!near.empty()) {
                say("unknown key '" + key + "' in " + what + " \u2014 did you mean '" + near +
                    "'?");
            } else if (!other.empty()) {
                say("key '" + key + "' in " + what + " is read only for events of " + other);
            } else {
                say("unknown key '" + key + "' in " + what);
            }
        } else if (!has_json_type(element, schema->type)) {
            // The numbers that mean something are said with the type they need.
            const std::string means =
                is_event(kind) && key == "type"              ? std::string(": ") + kEventTypes
                : kind == ObjectKind::Track && key == "mode" ? std::string(": ") + kTrackModes
                                                             : "";
            say("'" + key + "' of " + what + " is " + json_type_said(element) + "; it takes " +
                json_type_wanted(schema->type) + means);
        }
    }
    return true;
}

void DocumentCheck::elements(
    const Json& doc, const char* collection, const char* what, const char* name_key,
    const std::function<void(const Json&, size_t, const std::string&)>& more) {
    const Json& array = json_array(doc, collection);
    for (size_t i = 0; i < array.size(); ++i)
        more(array[i], i, label(what, array[i], i, name_key));
}

void DocumentCheck::positive(const Json& object, const char* key, const std::string& what,
                             const std::string& because) {
    const Json* value = member(object, key);
    if (value != nullptr && value->is_number() && !(value->get<double>() > 0.0))
        say("'" + std::string(key) + "' of " + what + " is " + number(value->get<double>()) +
            because + "; it takes a number above 0");
}

void DocumentCheck::event(const Json& event, const std::string& what) {
    const ObjectKind kind = event_kind(event);
    if (!object(event, kind, what))
        return;
    const Json* type = member(event, "type");
    if (kind == ObjectKind::OtherEvent && type != nullptr &&
        has_json_type(*type, JsonType::Integer))
        say(what + " has type " + type->dump() + ": " + kEventTypes);
    const Json* start = member(event, kind == ObjectKind::AudioSampleEvent ? "beat" : "start_beat");
    if (start != nullptr && start->is_number() && start->get<double>() < 0.0)
        say(what + " starts at beat " + number(start->get<double>()) + "; beats are not negative");
    if (kind == ObjectKind::EffectEvent || kind == ObjectKind::GroupEvent) {
        const double from = json_float(event, "start_beat");
        const double to = json_float(event, "end_beat");
        if (to < from) {
            say(what + " ends at beat " + number(to) + ", before it starts at " + number(from));
        } else if (to == from) {
            say(what + " ends where it starts, at beat " + number(to) + ", so it never plays");
        }
    }
    const Json* tracks = member(event, "control_points");
    if (tracks != nullptr && tracks->is_object()) {
        for (const auto& [name, value] : tracks->items())
            track(value, "track '" + name + "' of " + what);
    }
}

void DocumentCheck::track(const Json& track, const std::string& what) {
    if (!object(track, ObjectKind::Track, what))
        return;
    const Json* mode = member(track, "mode");
    if (mode != nullptr && has_json_type(*mode, JsonType::Integer) &&
        (json_int(track, "mode") < 0 || json_int(track, "mode") > 2))
        say(what + " has mode " + mode->dump() + ": " + kTrackModes);
    const Json& points = json_array(track, "control_points");
    for (size_t i = 0; i < points.size(); ++i)
        object(points[i], ObjectKind::Point, "point " + std::to_string(i + 1) + " of " + what);
}

// A side file is read when the element does not embed its contents.
void DocumentCheck::side_file(const Json& element, const char* embedded_key, const char* name_key,
                              const std::string& what, const char* collection, size_t index) {
    if (!element.is_object() || element.contains(embedded_key))
        return;
    if (!file_there(json_string(element, name_key), what, name_key))
        findings_.missing.push_back({collection, index});
}

bool DocumentCheck::file_there(const std::string& name, const std::string& what,
                               const std::string& said, const std::string& hint) {
    if (name.empty()) {
        say(what + ": '" + said + "' is empty, so there is no file to read");
        return false;
    }
    std::error_code ignored;
    if (fs::is_regular_file(folder_ / name, ignored))
        return true;
    // An element named after its file says which file once.
    const bool named_so = what.find("'" + name + "'") != std::string::npos;
    say(what + ": " + (named_so ? "file" : said + " '" + name + "'") + " not found (looked for " +
        (folder_ / name).lexically_normal().string() + ")" + hint);
    return false;
}

// The URIs of a text glTF's buffers and images are files beside it.
void DocumentCheck::gltf_files(const std::string& model, const std::string& what, size_t index) {
    if (is_binary_gltf_name(model) || model.find('.') == std::string::npos)
        return;
    const Json asset = Json::parse(read_whole_file((folder_ / model).string()), nullptr, false);
    const fs::path beside = fs::path(model).parent_path();
    for (const char* list : {"buffers", "images"}) {
        const Json& entries = json_array(asset, list);
        for (size_t i = 0; i < entries.size(); ++i) {
            const std::string uri = json_string(entries[i], "uri");
            if (uri.empty() || uri.rfind("data:", 0) == 0)
                continue;
            const std::string said =
                std::string(list).substr(0, std::string(list).size() - 1) + " " + std::to_string(i);
            if (!file_there((beside / uri).string(), what, said))
                findings_.missing.push_back({"models", index});
        }
    }
}

// The music has one name whatever its format: says so, and which file looks like it.
std::string DocumentCheck::music_hint() const {
    std::string hint = "; the music is always read from resources/music.mp3, whatever its format";
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder_ / "resources", ignored)) {
        if (entry.path().stem() == "music") {
            hint += ": rename resources/" + entry.path().filename().string();
            break;
        }
    }
    return hint;
}

void DocumentCheck::document(const Json& doc) {
    object(doc, ObjectKind::Document, "the project");
    if (member(doc, "end_beat") == nullptr)
        say("the project has no 'end_beat': it reads 0, and the demo ends at once");
    if (member(doc, "bpm") == nullptr)
        say("the project has no 'bpm': it reads 0, and the beat never moves forward");
    positive(doc, "end_beat", "the project", ", so the demo ends at once");
    positive(doc, "bpm", "the project", ", so the beat never moves forward");
    if (member(doc, "music") == nullptr &&
        !file_there(kMusicSideFile, "the music", "file", music_hint()))
        findings_.missing.push_back({"", 0});

    elements(doc, "events", "event", "name",
             [&](const Json& e, size_t, const std::string& what) { event(e, what); });
    elements(doc, "effects", "effect", "name", [&](const Json& e, size_t, const std::string& what) {
        object(e, ObjectKind::Effect, what);
    });
    elements(
        doc, "shaders", "program", "fragment_shader_filename",
        [&](const Json& e, size_t i, const std::string& what) {
            if (!object(e, ObjectKind::Shader, what))
                return;
            side_file(e, "fragment_shader_source", "vertex_shader_filename", what, "shaders", i);
            side_file(e, "fragment_shader_source", "fragment_shader_filename", what, "shaders", i);
            const Json& defs = json_array(e, "uniform_defs");
            for (size_t d = 0; d < defs.size(); ++d)
                object(defs[d], ObjectKind::UniformDef,
                       label("uniform", defs[d], d, "name") + " of " + what);
        });
    elements(doc, "textures", "texture", "name",
             [&](const Json& e, size_t i, const std::string& what) {
                 if (object(e, ObjectKind::Texture, what))
                     side_file(e, "image_buffer", "name", what, "textures", i);
             });
    elements(doc, "audio_samples", "audio sample", "name",
             [&](const Json& e, size_t i, const std::string& what) {
                 if (object(e, ObjectKind::AudioSample, what))
                     side_file(e, "audio_buffer", "name", what, "audio_samples", i);
             });
    elements(doc, "event_groups", "event group", "name",
             [&](const Json& e, size_t, const std::string& what) {
                 object(e, ObjectKind::EventGroup, what);
             });
    elements(doc, "fonts", "font", "name", [&](const Json& e, size_t i, const std::string& what) {
        if (!object(e, ObjectKind::Font, what))
            return;
        side_file(e, "font_buffer", "filename", what, "fonts", i);
        positive(e, "ptsize", what);
    });
    elements(doc, "font_textures", "font texture", "name",
             [&](const Json& e, size_t, const std::string& what) {
                 if (!object(e, ObjectKind::FontTexture, what))
                     return;
                 positive(e, "width", what);
                 positive(e, "height", what);
                 if (json_int(e, "chars_per_beat", -1) < -1)
                     say("'chars_per_beat' of " + what + " is " +
                         std::to_string(json_int(e, "chars_per_beat")) +
                         "; it takes -1 (the whole text at once) or 0 and more");
             });
    elements(doc, "datas", "data", "name", [&](const Json& e, size_t i, const std::string& what) {
        if (object(e, ObjectKind::Data, what))
            side_file(e, "data_buffer", "name", what, "datas", i);
    });
    elements(doc, "models", "model", "filename",
             [&](const Json& e, size_t i, const std::string& what) {
                 if (!object(e, ObjectKind::Model, what) || e.contains("buffer"))
                     return;
                 side_file(e, "buffer", "filename", what, "models", i);
                 if (!findings_.is_missing("models", i))
                     gltf_files(json_string(e, "filename"), what, i);
             });
    elements(doc, "scenes", "scene", "name", [&](const Json& e, size_t, const std::string& what) {
        if (!object(e, ObjectKind::Scene, what))
            return;
        if (const Json* camera = member(e, "camera"); camera != nullptr && camera->is_object())
            object(*camera, ObjectKind::Camera, "the camera of " + what);
        if (const Json* node = member(e, "root_node"); node != nullptr && node->is_object())
            object(*node, ObjectKind::Node, "the root node of " + what);
    });
}

// The embedded key that stands for a collection's side file.
const char* embedded_key(const std::string& collection) {
    if (collection == "textures")
        return "image_buffer";
    if (collection == "audio_samples")
        return "audio_buffer";
    if (collection == "fonts")
        return "font_buffer";
    if (collection == "datas")
        return "data_buffer";
    return "buffer";
}

}  // namespace

bool DocumentFindings::is_missing(const std::string& collection, size_t index) const {
    return std::any_of(missing.begin(), missing.end(), [&](const MissingSideFile& file) {
        return file.collection == collection && file.index == index;
    });
}

DocumentFindings check_project_document(const Json& document, const fs::path& folder) {
    DocumentFindings findings;
    DocumentCheck(folder, findings).document(document);
    return findings;
}

bool make_loadable(Json& doc, const DocumentFindings& findings, const fs::path& folder) {
    bool changed = !findings.missing.empty();
    for (const MissingSideFile& file : findings.missing) {
        if (file.collection.empty()) {
            doc["music"] = "";
            continue;
        }
        Json& element = doc[file.collection][file.index];
        if (file.collection == "shaders") {
            // Both sources are embedded together: the one that is there is read.
            for (const char* key : {"vertex_shader", "fragment_shader"}) {
                const std::string name =
                    json_string(element, (std::string(key) + "_filename").c_str());
                std::error_code ignored;
                element[std::string(key) + "_source"] =
                    fs::is_regular_file(folder / name, ignored)
                        ? read_whole_file((folder / name).string())
                        : std::string();
            }
        } else {
            element[embedded_key(file.collection)] = "";
        }
    }
    if (doc.is_object() && doc.contains("events") && doc["events"].is_array()) {
        for (Json& event : doc["events"]) {
            const int64_t type = json_int(event, "type", 1);
            if (event.is_object() && (type < 0 || type > UINT8_MAX)) {
                event["type"] = 0;
                changed = true;
            }
        }
    }
    return changed;
}

}  // namespace demo
