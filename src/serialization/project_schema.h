// The keys every object of a project document is read with, and the JSON type each takes: what
// the check of a document holds the demo maker's text against, and what the reference lists.
#pragma once

#include <string>
#include <vector>

#include "serialization/json.h"

namespace demo {

// What a key's value must be. Numbers are read by value, so an integer is a fine Number and a
// float with an integral value a fine Integer.
enum class JsonType {
    String,
    Number,
    Integer,
    Boolean,
    Visibility,  // "true" or "false", as a string or a JSON boolean
    Vector3,     // an array of three numbers
    Array,
    Object,
};

// The objects of a project document. Events take other keys for each type.
enum class ObjectKind {
    Document,
    EffectEvent,
    AudioSampleEvent,
    GroupEvent,
    OtherEvent,
    Track,
    Point,
    Effect,
    Shader,
    UniformDef,
    Texture,
    AudioSample,
    EventGroup,
    Font,
    FontTexture,
    Data,
    Model,
    Scene,
    Camera,
    Node,
};

struct KeySchema {
    const char* key;
    JsonType type;
};

// Every key an object of `kind` is read with.
const std::vector<KeySchema>& keys_of(ObjectKind kind);

// Every kind, for walking them all.
const std::vector<ObjectKind>& all_object_kinds();

// The key of `kind` named `key`, or null.
const KeySchema* find_key(ObjectKind kind, const std::string& key);

// Whether `value` is of `type`.
bool has_json_type(const Json& value, JsonType type);

// How a value's type is said to a demo maker: "a string", "an integer", "null", ...
std::string json_type_said(const Json& value);

// What a key of `type` takes, said to a demo maker: "a number", "true or false", ...
std::string json_type_wanted(JsonType type);

// Of `candidates`, the one nearest to `word` by edits (a letter added, removed, changed or two
// swapped), when it is near enough to be a slip; empty otherwise.
std::string nearest_word(const std::string& word, const std::vector<std::string>& candidates);

}  // namespace demo
