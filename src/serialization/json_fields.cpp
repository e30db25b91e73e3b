#include "serialization/json_fields.h"

#include <cmath>

namespace demo {

namespace {

const Json* member(const Json& object, const char* key) {
    if (!object.is_object())
        return nullptr;
    auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

}  // namespace

float json_float(const Json& object, const char* key, float fallback) {
    const Json* value = member(object, key);
    if (value == nullptr || !value->is_number())
        return fallback;
    return value->get<float>();
}

int64_t json_int(const Json& object, const char* key, int64_t fallback) {
    const Json* value = member(object, key);
    if (value == nullptr)
        return fallback;
    if (value->is_number_integer())
        return value->get<int64_t>();
    if (value->is_number_float()) {
        const double d = value->get<double>();
        if (std::isfinite(d) && std::floor(d) == d && std::fabs(d) < 9.2e18) {
            return static_cast<int64_t>(d);
        }
    }
    return fallback;
}

bool json_bool(const Json& object, const char* key, bool fallback) {
    const Json* value = member(object, key);
    return value != nullptr && value->is_boolean() ? value->get<bool>() : fallback;
}

std::string json_string(const Json& object, const char* key) {
    const Json* value = member(object, key);
    return value != nullptr && value->is_string() ? value->get<std::string>() : std::string();
}

const Json& json_array(const Json& object, const char* key) {
    static const Json empty = Json::array();
    const Json* value = member(object, key);
    return value != nullptr && value->is_array() ? *value : empty;
}

}  // namespace demo
