#include "scene/gltf_io.h"

#include <stb_image.h>
#include <stb_image_write.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <limits>
#include <sstream>

#include "serialization/base64.h"
#include "serialization/file_io.h"

namespace demo {

namespace {

// ---------------------------------------------------------------------------------------------
// Images
// ---------------------------------------------------------------------------------------------

// Leaves the image without pixels, and says why in the warnings; the asset still loads. Its
// encoded bytes are kept as they are, for the GLB writer.
bool leave_out_image(tinygltf::Image* image, int index, std::string* warn, const char* why,
                     const unsigned char* bytes, int size) {
    image->image.assign(bytes, bytes + size);
    image->as_is = true;
    image->width = image->height = 0;
    if (warn != nullptr)
        *warn += "image " + std::to_string(index) + " '" + image->name + "' " + why + "\n";
    return true;
}

// What one parse may still decode into images, and what it has decoded.
struct ImageBudget {
    uint64_t left = 0;
    uint64_t used = 0;
};

// Decodes every image to four 8-bit channels, whatever its channels and depth, so that the
// upload and the GLB writer see one layout. Sizes come from the header first: a few bytes of
// header must not be able to demand gigabytes.
bool decode_image(tinygltf::Image* image, int index, std::string* warn, const unsigned char* bytes,
                  int size, ImageBudget* budget) {
    int width = 0;
    int height = 0;
    int channels = 0;
    if (stbi_info_from_memory(bytes, size, &width, &height, &channels) == 0)
        return leave_out_image(image, index, warn, "does not decode; it is left out", bytes, size);
    if (width <= 0 || height <= 0 || width > kMaxGltfImageSide || height > kMaxGltfImageSide) {
        const std::string why = "is " + std::to_string(width) + " x " + std::to_string(height) +
                                ", larger than any texture; it is left out";
        return leave_out_image(image, index, warn, why.c_str(), bytes, size);
    }
    const uint64_t rgba_bytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4;
    if (rgba_bytes > budget->left) {
        return leave_out_image(image, index, warn,
                               "would unpack to more than the package can justify; it is left out",
                               bytes, size);
    }
    unsigned char* pixels = stbi_load_from_memory(bytes, size, &width, &height, &channels, 4);
    if (pixels == nullptr)
        return leave_out_image(image, index, warn, "does not decode; it is left out", bytes, size);
    budget->left -= rgba_bytes;
    budget->used += rgba_bytes;
    image->width = width;
    image->height = height;
    image->component = 4;
    image->bits = 8;
    image->pixel_type = TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE;
    image->image.assign(pixels, pixels + static_cast<size_t>(width) * height * 4);
    stbi_image_free(pixels);
    return true;
}

// Decodes the images held in buffer views, each only when its view lies inside its buffer.
void decode_view_images(tinygltf::Model& model, std::string& warnings, ImageBudget& budget) {
    for (size_t i = 0; i < model.images.size(); ++i) {
        tinygltf::Image& image = model.images[i];
        const int index = static_cast<int>(i);
        if (image.bufferView < 0 ||
            static_cast<size_t>(image.bufferView) >= model.bufferViews.size())
            continue;
        const tinygltf::BufferView& view = model.bufferViews[static_cast<size_t>(image.bufferView)];
        uint64_t end = 0;
        if (view.buffer < 0 || static_cast<size_t>(view.buffer) >= model.buffers.size() ||
            __builtin_add_overflow(view.byteOffset, view.byteLength, &end) ||
            end > model.buffers[static_cast<size_t>(view.buffer)].data.size() ||
            view.byteLength > static_cast<size_t>(std::numeric_limits<int>::max())) {
            leave_out_image(&image, index, &warnings, "lies outside its buffer; it is left out",
                            nullptr, 0);
            continue;
        }
        const unsigned char* bytes = model.buffers[static_cast<size_t>(view.buffer)].data.data();
        decode_image(&image, index, &warnings, bytes + view.byteOffset,
                     static_cast<int>(view.byteLength), &budget);
    }
}

// The library's image callback. It hands over an image in a buffer view with the view's
// length unchecked against its buffer, so those wait for decode_view_images.
bool load_image(tinygltf::Image* image, const int index, std::string* /*err*/, std::string* warn,
                int /*req_width*/, int /*req_height*/, const unsigned char* bytes, int size,
                void* user) {
    if (image->bufferView != -1)
        return true;
    return decode_image(image, index, warn, bytes, size, static_cast<ImageBudget*>(user));
}

void append_bytes(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    const auto* bytes = static_cast<const uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

// Stores a decoded image as an embedded PNG, whatever format it was read from; one that was
// left out keeps the bytes it came with, so the reader names it again.
bool write_image(const std::string* /*basepath*/, const std::string* /*filename*/,
                 const tinygltf::Image* image, bool /*embed*/, std::string* out_uri,
                 void* /*user*/) {
    if (image->as_is) {
        *out_uri = "data:application/octet-stream;base64," +
                   base64_encode(image->image.data(), image->image.size());
        return true;
    }
    if (image->image.empty() || image->bits != 8 || image->component < 1 || image->component > 4 ||
        image->image.size() != static_cast<size_t>(image->width) * image->height *
                                   static_cast<size_t>(image->component)) {
        return false;
    }
    std::vector<uint8_t> png;
    if (stbi_write_png_to_func(append_bytes, &png, image->width, image->height, image->component,
                               image->image.data(), 0) == 0) {
        return false;
    }
    *out_uri = "data:image/png;base64," + base64_encode(png.data(), png.size());
    return true;
}

// ---------------------------------------------------------------------------------------------
// Files
// ---------------------------------------------------------------------------------------------

// Reads external buffers and images, but only regular files: a folder, a device or a pipe
// named by an asset is not read (a pipe would block the load for good). They are found in the
// side-file folder.
bool read_regular_file(std::vector<unsigned char>* out, std::string* err, const std::string& path,
                       void* user) {
    const std::string found = side_file_path(path);
    struct stat info {};
    if (::stat(found.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        if (err != nullptr)
            *err += "File not found: " + path + "\n";
        return false;
    }
    return tinygltf::ReadWholeFile(out, err, found, user);
}

// The library never writes files for us; an asset must not make it try.
bool refuse_write(std::string* err, const std::string& path, const std::vector<unsigned char>&,
                  void*) {
    if (err != nullptr)
        *err += "not writing " + path + "\n";
    return false;
}

// One loader set up the same way for every read.
void configure(tinygltf::TinyGLTF& loader, ImageBudget* budget) {
    loader.SetImageLoader(load_image, budget);
    loader.SetImageWriter(write_image, nullptr);
    tinygltf::FsCallbacks fs{};
    fs.FileExists = [](const std::string& path, void* user) {
        return tinygltf::FileExists(side_file_path(path), user);
    };
    fs.ExpandFilePath = tinygltf::ExpandFilePath;
    fs.ReadWholeFile = read_regular_file;
    fs.WriteWholeFile = refuse_write;
    fs.user_data = nullptr;
    loader.SetFsCallbacks(fs);
}

bool is_uri_data_char(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '/' || c == '=' ||
           c == '%' || c == '-' || c == '_';
}

}  // namespace

std::string without_data_uris(const std::string& text) {
    std::string out;
    size_t at = 0;
    for (size_t uri = text.find("data:"); uri != std::string::npos; uri = text.find("data:", at)) {
        const size_t comma = text.find(',', uri);
        const size_t space = text.find_first_of(" \t\n\"'", uri);
        if (comma == std::string::npos || comma > space || comma - uri > 100) {
            out.append(text, at, uri + 5 - at);
            at = uri + 5;
            continue;
        }
        size_t end = comma + 1;
        while (end < text.size() && is_uri_data_char(text[end]))
            ++end;
        out.append(text, at, comma + 1 - at);
        if (end - comma - 1 > 16)
            out += "... (" + std::to_string(end - comma - 1) + " characters)";
        else
            out.append(text, comma + 1, end - comma - 1);
        at = end;
    }
    out.append(text, at, std::string::npos);
    return out;
}

uint64_t gltf_json_depth(const uint8_t* bytes, uint64_t size, bool binary) {
    if (binary) {
        // The JSON chunk: 20 bytes of headers, then as many bytes as the chunk header gives.
        if (size < 20)
            return 0;
        uint32_t length = 0;
        std::memcpy(&length, bytes + 12, 4);
        size = std::min<uint64_t>(size - 20, length);
        bytes += 20;
    }
    uint64_t depth = 0;
    uint64_t deepest = 0;
    bool in_string = false;
    for (uint64_t i = 0; i < size; ++i) {
        const uint8_t c = bytes[i];
        if (in_string) {
            if (c == '\\')
                ++i;  // the escaped character cannot end the string
            else if (c == '"')
                in_string = false;
        } else if (c == '"') {
            in_string = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

GltfParse parse_gltf(tinygltf::Model& out, const uint8_t* bytes, uint64_t size, bool binary,
                     const std::string& base_dir, uint64_t image_budget) {
    GltfParse result;
    out = tinygltf::Model();
    if (size > std::numeric_limits<unsigned int>::max()) {
        result.errors = "the asset is larger than 4 GiB\n";
        return result;
    }
    result.depth = gltf_json_depth(bytes, size, binary);
    if (result.depth > kMaxGltfJsonDepth) {
        result.errors = "the document nests " + std::to_string(result.depth) +
                        " levels deep, more than the " + std::to_string(kMaxGltfJsonDepth) +
                        " a model may\n";
        return result;
    }
    tinygltf::TinyGLTF loader;
    ImageBudget budget{image_budget, 0};
    configure(loader, &budget);
    if (binary) {
        result.ok = loader.LoadBinaryFromMemory(&out, &result.errors, &result.warnings, bytes,
                                                static_cast<unsigned int>(size), base_dir,
                                                tinygltf::REQUIRE_VERSION);
    } else {
        const std::string text(reinterpret_cast<const char*>(bytes), size);
        result.ok = loader.LoadASCIIFromString(&out, &result.errors, &result.warnings, text.c_str(),
                                               static_cast<unsigned int>(size), base_dir,
                                               tinygltf::REQUIRE_VERSION);
    }
    decode_view_images(out, result.warnings, budget);
    result.image_bytes = budget.used;
    // Messages may quote a whole embedded buffer; its bytes help no one.
    result.errors = without_data_uris(result.errors);
    result.warnings = without_data_uris(result.warnings);
    return result;
}

std::vector<uint8_t> write_glb(const tinygltf::Model& model) {
    tinygltf::TinyGLTF writer;
    ImageBudget no_images;
    configure(writer, &no_images);
    std::ostringstream stream;
    if (!writer.WriteGltfSceneToStream(&model, stream, false, true))
        return {};
    const std::string bytes = stream.str();
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

}  // namespace demo
