// Packages laid out byte by byte, never through the library's writers, and a temporary working
// folder for the tests that touch side files.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace demo::package_bytes {

using Bytes = std::vector<uint8_t>;

// The scramble keystream: a Collatz walk from 70937 whose keys are the low bytes of each new
// value, 0xB5 where it reaches 1 and starts over (in 64 bits, so no overflow hides a mistake).
inline Bytes keystream(size_t length) {
    Bytes keys;
    for (int64_t state = 70937; keys.size() < length;) {
        state = state % 2 != 0 ? 3 * state + 1 : state / 2;
        keys.push_back(state == 1 ? 0xB5 : static_cast<uint8_t>(state & 0xFF));
        if (state == 1)
            state = 70937;
    }
    return keys;
}

inline Bytes scrambled(Bytes bytes) {
    const Bytes keys = keystream(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] ^= keys[i];
    return bytes;
}

inline Bytes bytes_of(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

inline void append(Bytes& to, const Bytes& more) {
    to.insert(to.end(), more.begin(), more.end());
}

// The parts one after the other.
inline Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts)
        append(out, part);
    return out;
}

// Little-endian bytes of a value: eight of a u64, four of a binary32 float.
inline Bytes u64(uint64_t value, int size = 8) {
    Bytes out;
    for (int k = 0; k < size; ++k)
        out.push_back(static_cast<uint8_t>(value >> (8 * k)));
    return out;
}

inline Bytes f32(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return u64(bits, 4);
}

inline Bytes varint(uint64_t value) {
    Bytes out;
    for (; value >= 0x80; value >>= 7)
        out.push_back(static_cast<uint8_t>(value | 0x80));
    out.push_back(static_cast<uint8_t>(value));
    return out;
}

// A record of the u64 size of `block`, then `block` scrambled.
inline Bytes record(const Bytes& block) {
    return concat({u64(block.size()), scrambled(block)});
}

// A stored string holding `text` as one literal run: length, token n * 2 + 1, the bytes.
inline Bytes stored_string(const std::string& text) {
    Bytes block = varint(text.size());
    if (!text.empty()) {
        append(block, varint(text.size() * 2 + 1));
        append(block, bytes_of(text));
    }
    return record(block);
}

// A byte buffer is stored as a record of the bytes themselves, never compressed.
inline Bytes stored_buffer(const Bytes& bytes) {
    return record(bytes);
}

// One data blob as it stands in a collection: identifier, name, bytes.
inline Bytes stored_data(uint64_t id, const std::string& name, const Bytes& bytes) {
    return concat({u64(id), stored_string(name), stored_buffer(bytes)});
}

// A whole package whose only objects are the `count` blobs in `datas` (made by stored_data), or
// the objects of another of the eleven collections (9: models).
inline Bytes package_of_datas(uint64_t total, uint64_t count, const Bytes& datas,
                              const Bytes& music, float end_beat, float bpm, float beat_offset,
                              int collection = 8) {
    Bytes out = u64(total);
    for (int index = 0; index < 11; ++index) {
        append(out, u64(index == collection ? count : 0));
        if (index == collection)
            append(out, datas);
    }
    append(out, stored_buffer(music));
    for (float value : {end_beat, bpm, beat_offset})
        append(out, f32(value));
    return out;
}

// A glTF document whose node's extras nest `depth` arrays deep; as GLB bytes with `binary`.
inline Bytes deeply_nested_gltf(size_t depth, bool binary) {
    std::string json = R"({"asset": {"version": "2.0"}, "nodes": [{"extras": )" +
                       std::string(depth, '[') + std::string(depth, ']') + "}]}";
    json.resize((json.size() + 3) / 4 * 4, ' ');
    if (!binary)
        return bytes_of(json);
    return concat({bytes_of("glTF"), u64(2, 4), u64(20 + json.size(), 4), u64(json.size(), 4),
                   bytes_of("JSON"), bytes_of(json)});
}

inline Bytes read_file_bytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), {});
}

inline void write_file_bytes(const std::filesystem::path& path, const Bytes& bytes) {
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path());
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// A fresh temporary folder, removed with all it holds at the end; unless `enter` is false, the
// working directory while the object lives.
struct ScopedWorkDir {
    explicit ScopedWorkDir(bool enter = true) : entered(enter) {
        std::string pattern = (std::filesystem::temp_directory_path() / "demo_XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        path = pattern;
        if (entered)
            std::filesystem::current_path(path);
    }
    ~ScopedWorkDir() {
        std::error_code ignored;
        if (entered)
            std::filesystem::current_path(previous, ignored);
        std::filesystem::remove_all(path, ignored);
    }
    ScopedWorkDir(const ScopedWorkDir&) = delete;
    std::filesystem::path operator/(const std::string& name) const { return path / name; }

    bool entered;
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::path path;
};

}  // namespace demo::package_bytes
