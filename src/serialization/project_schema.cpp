#include "serialization/project_schema.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace demo {

namespace {

using T = JsonType;

std::vector<KeySchema> event_keys(std::vector<KeySchema> own) {
    std::vector<KeySchema> keys = {{"type", T::Integer},
                                   {"name", T::String},
                                   {"visible", T::Visibility},
                                   {"control_points", T::Object}};
    keys.insert(keys.end(), own.begin(), own.end());
    return keys;
}

const std::map<ObjectKind, std::vector<KeySchema>>& schemas() {
    static const std::map<ObjectKind, std::vector<KeySchema>> table = {
        {ObjectKind::Document,
         {{"events", T::Array},
          {"effects", T::Array},
          {"shaders", T::Array},
          {"textures", T::Array},
          {"audio_samples", T::Array},
          {"event_groups", T::Array},
          {"fonts", T::Array},
          {"font_textures", T::Array},
          {"datas", T::Array},
          {"models", T::Array},
          {"scenes", T::Array},
          {"end_beat", T::Number},
          {"bpm", T::Number},
          {"beat_offset", T::Number},
          {"music", T::String}}},
        {ObjectKind::EffectEvent,
         event_keys({{"effect", T::String}, {"start_beat", T::Number}, {"end_beat", T::Number}})},
        {ObjectKind::AudioSampleEvent,
         event_keys({{"audio_sample", T::String}, {"beat", T::Number}})},
        {ObjectKind::GroupEvent,
         event_keys({{"group", T::String}, {"start_beat", T::Number}, {"end_beat", T::Number}})},
        {ObjectKind::OtherEvent, event_keys({})},
        {ObjectKind::Track,
         {{"mode", T::Integer}, {"repeat", T::Boolean}, {"control_points", T::Array}}},
        {ObjectKind::Point, {{"beat", T::Number}, {"value", T::Number}, {"text", T::String}}},
        {ObjectKind::Effect,
         {{"name", T::String},
          {"program", T::String},
          {"textures", T::Array},
          {"font_textures", T::Array},
          {"effects", T::Array},
          {"scene", T::String},
          {"feedback", T::Boolean},
          {"screen_texture", T::Boolean}}},
        {ObjectKind::Shader,
         {{"vertex_shader_filename", T::String},
          {"fragment_shader_filename", T::String},
          {"vertex_shader_source", T::String},
          {"fragment_shader_source", T::String},
          {"uniform_defs", T::Array}}},
        {ObjectKind::UniformDef,
         {{"name", T::String},
          {"min_val", T::Number},
          {"max_val", T::Number},
          {"default_val", T::Number}}},
        {ObjectKind::Texture, {{"name", T::String}, {"image_buffer", T::String}}},
        {ObjectKind::AudioSample, {{"name", T::String}, {"audio_buffer", T::String}}},
        {ObjectKind::EventGroup, {{"name", T::String}, {"events", T::Array}}},
        {ObjectKind::Font,
         {{"name", T::String},
          {"filename", T::String},
          {"ptsize", T::Integer},
          {"font_buffer", T::String}}},
        {ObjectKind::FontTexture,
         {{"name", T::String},
          {"font", T::String},
          {"width", T::Integer},
          {"height", T::Integer},
          {"center", T::Boolean},
          {"chars_per_beat", T::Integer}}},
        {ObjectKind::Data, {{"name", T::String}, {"data_buffer", T::String}}},
        {ObjectKind::Model, {{"filename", T::String}, {"buffer", T::String}}},
        {ObjectKind::Scene,
         {{"name", T::String},
          {"camera", T::Object},
          {"root_node", T::Object},
          {"camera_scene", T::String},
          {"camera_scene_only_direction", T::Boolean}}},
        {ObjectKind::Camera,
         {{"position", T::Vector3},
          {"direction", T::Vector3},
          {"up", T::Vector3},
          {"aspect", T::Number},
          {"fov", T::Number},
          {"znear", T::Number},
          {"zfar", T::Number},
          {"direction_mode", T::Boolean}}},
        {ObjectKind::Node, {{"name", T::String}, {"model", T::String}}},
    };
    return table;
}

bool is_integral(const Json& value) {
    if (value.is_number_integer())
        return true;
    if (!value.is_number_float())
        return false;
    const double d = value.get<double>();
    return std::isfinite(d) && std::floor(d) == d && std::fabs(d) < 9.2e18;
}

// Edits from `a` to `b`, a swap of neighbours counting as one.
size_t edit_distance(const std::string& a, const std::string& b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

std::string lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

const std::vector<KeySchema>& keys_of(ObjectKind kind) {
    return schemas().at(kind);
}

const std::vector<ObjectKind>& all_object_kinds() {
    static const std::vector<ObjectKind> kinds = [] {
        std::vector<ObjectKind> all;
        for (const auto& [kind, keys] : schemas())
            all.push_back(kind);
        return all;
    }();
    return kinds;
}

const KeySchema* find_key(ObjectKind kind, const std::string& key) {
    for (const KeySchema& schema : keys_of(kind)) {
        if (key == schema.key)
            return &schema;
    }
    return nullptr;
}

bool has_json_type(const Json& value, JsonType type) {
    switch (type) {
        case JsonType::String:
            return value.is_string();
        case JsonType::Number:
            return value.is_number();
        case JsonType::Integer:
            return is_integral(value);
        case JsonType::Boolean:
            return value.is_boolean();
        case JsonType::Visibility:
            return value.is_boolean() || value == "true" || value == "false";
        case JsonType::Vector3:
            return value.is_array() && value.size() == 3 &&
                   std::all_of(value.begin(), value.end(),
                               [](const Json& v) { return v.is_number(); });
        case JsonType::Array:
            return value.is_array();
        case JsonType::Object:
            return value.is_object();
    }
    return false;
}

std::string json_type_said(const Json& value) {
    if (value.is_string()) {
        const std::string text = value.get<std::string>();
        return "the string \"" + (text.size() <= 40 ? text : text.substr(0, 37) + "...") + "\"";
    }
    if (value.is_boolean())
        return value.get<bool>() ? "true" : "false";
    if (value.is_number())
        return "the number " + value.dump();
    if (value.is_array())
        return "an array of " + std::to_string(value.size());
    if (value.is_object())
        return "an object";
    return "null";
}

std::string json_type_wanted(JsonType type) {
    switch (type) {
        case JsonType::String:
            return "a string";
        case JsonType::Number:
            return "a number";
        case JsonType::Integer:
            return "a whole number";
        case JsonType::Boolean:
            return "true or false";
        case JsonType::Visibility:
            return "true or false (or the strings \"true\" and \"false\")";
        case JsonType::Vector3:
            return "an array of three numbers";
        case JsonType::Array:
            return "an array";
        case JsonType::Object:
            return "an object";
    }
    return "";
}

std::string nearest_word(const std::string& word, const std::vector<std::string>& candidates) {
    // Short words have few letters to spare: one edit there, two in longer ones.
    const size_t allowed = word.size() >= 6 ? 2 : 1;
    std::string best;
    size_t best_distance = allowed + 1;
    for (const std::string& candidate : candidates) {
        const size_t distance = edit_distance(lower(word), lower(candidate));
        if (distance < best_distance) {
            best = candidate;
            best_distance = distance;
        }
    }
    return best;
}

}  // namespace demo
