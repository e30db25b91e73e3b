// The JSON value type of the project form.
#pragma once

#include <nlohmann/json.hpp>

namespace demo {

using Json = nlohmann::json;

}  // namespace demo
