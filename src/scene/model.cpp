#include "scene/model.h"

#include <cstdio>
#include <stdexcept>

#include "scene/animation_build.h"
#include "scene/gltf_io.h"
#include "serialization/file_io.h"
#include "serialization/json_fields.h"
#include "serialization/package_error.h"
#include "serialization/stored_string.h"

namespace demo {

namespace {

// The extension starts at the last dot; a name without one cannot be parsed.
bool has_extension(const std::string& name) {
    return name.find_last_of('.') != std::string::npos;
}

bool is_text_gltf_name(const std::string& name) {
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos)
        return false;
    const std::string ext = name.substr(dot, 5);
    return ext == ".gltf" || ext == ".GLTF";
}

// Why a model nested too deep to be read is refused: the whole demo stops there, as for any
// other input that would crash its reader.
std::string too_deep(const std::string& name, uint64_t depth) {
    return "model '" + name + "': its glTF nests " + std::to_string(depth) +
           " levels deep, more than the " + std::to_string(kMaxGltfJsonDepth) +
           " a model may; it is not read";
}

}  // namespace

bool is_binary_gltf_name(const std::string& name) {
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos)
        return false;
    const std::string ext = name.substr(dot, 4);
    return ext == ".glb" || ext == ".GLB";
}

Json Model::to_json(bool export_files) const {
    Json value = Json::object();
    value["filename"] = filename;
    if (export_files) {
        write_side_file(filename, buffer ? buffer->data.data() : nullptr,
                        buffer ? buffer->size() : 0);
    } else {
        value["buffer"] = buffer ? buffer->to_json(false) : Json("");
    }
    return value;
}

void Model::write_binary(OutputStream& out) const {
    if (is_text_gltf_name(filename)) {
        // Packages always carry GLB: the text asset and the files it names become one.
        write_string(filename + ".glb", out);
        const std::vector<uint8_t> glb = write_glb(gltf);
        ByteBuffer(glb.data(), glb.size()).write_binary(out);
        return;
    }
    write_string(filename, out);
    write_buffer_or_empty(out, buffer);
}

void Model::from_json(const Json& value) {
    filename = json_string(value, "filename");
    gltf = tinygltf::Model();
    GltfParse parse;
    if (value.is_object() && value.contains("buffer")) {
        buffer = std::make_unique<ByteBuffer>(value["buffer"]);
        if (!has_extension(filename)) {
            std::printf("Expected a file extension in name %s\n", filename.c_str());
        } else if (is_binary_gltf_name(filename)) {
            parse = parse_gltf(gltf, buffer->data.data(), buffer->size(), true, "");
        } else {
            parse = parse_gltf(gltf, buffer->data.data(), buffer->size(), false, "resources");
        }
    } else {
        buffer = std::make_unique<ByteBuffer>(filename);  // a missing file is fatal
        if (!has_extension(filename)) {
            std::printf("Expected a file extension in name %s\n", filename.c_str());
        } else {
            // Files the asset names are found beside it.
            const size_t slash = filename.find_last_of('/');
            const std::string folder = slash == std::string::npos ? "" : filename.substr(0, slash);
            parse = parse_gltf(gltf, buffer->data.data(), buffer->size(),
                               is_binary_gltf_name(filename), folder);
        }
    }
    if (parse.depth > kMaxGltfJsonDepth)
        throw std::runtime_error(too_deep(filename, parse.depth));
    parsed = parse.ok;
    parse_warnings = parse.warnings;
    parse_errors = parse.errors;
    finish_load();
}

void Model::read_binary(InputStream& in) {
    filename = read_string(in, "a model name");
    buffer = std::make_unique<ByteBuffer>(in);
    // The binary form always holds GLB, whatever the name says. Its images count against what
    // the package may unpack.
    const uint64_t offset = in.offset();
    const GltfParse parse = parse_gltf(gltf, buffer->data.data(), buffer->size(), true, "resources",
                                       in.unpack_budget());
    if (parse.depth > kMaxGltfJsonDepth)
        throw PackageError(too_deep(filename, parse.depth), offset);
    in.charge_unpacked(parse.image_bytes, "a model's images", offset);
    parsed = parse.ok;
    parse_warnings = parse.warnings;
    parse_errors = parse.errors;
    finish_load();
}

void Model::finish_load() {
    if (!parse_warnings.empty())
        std::printf("Warn: %s\n", parse_warnings.c_str());
    if (!parse_errors.empty())
        std::printf("Err: %s\n", parse_errors.c_str());
    if (!parsed && has_extension(filename))
        std::printf("Failed to parse glTF\n");
    check = check_model(gltf);
    for (const std::string& line : check.problems)
        std::printf("Model '%s': %s\n", filename.c_str(), line.c_str());
    build_animations(*this);
    prepare_node_walk(*this);
}

std::vector<std::string> Model::problems() const {
    std::vector<std::string> lines;
    const std::string label = "model '" + filename + "': ";
    if (!has_extension(filename))
        lines.push_back(label + "the name has no extension, so it is not parsed");
    else if (!parsed)
        lines.push_back(label + "does not parse" +
                        (parse_errors.empty() ? "" : ": " + parse_errors));
    if (!parse_warnings.empty())
        lines.push_back(label + "warnings: " + parse_warnings);
    for (const std::string& line : check.problems)
        lines.push_back(label + line);
    if (parsed && gltf.defaultScene < 0)
        lines.push_back(label + "names no default scene, so it draws nothing");
    for (const tinygltf::Animation& animation : gltf.animations) {
        for (const tinygltf::AnimationChannel& channel : animation.channels) {
            if (channel.target_path == "weights") {
                lines.push_back(label + "animation '" + animation.name +
                                "' animates morph weights, which do not move");
                break;
            }
        }
    }
    return lines;
}

}  // namespace demo
