#include "serialization/demo.h"

#include <stdexcept>
#include <string>
#include <unordered_map>

#include "player/fatal_error.h"
#include "serialization/file_io.h"
#include "serialization/id_registry.h"
#include "serialization/json_fields.h"
#include "serialization/package_error.h"
#include "serialization/primitives.h"

namespace demo {

namespace {

// Index of a collection in kCollectionNames.
enum Collection : size_t {
    kEvents,
    kEffects,
    kShaders,
    kTextures,
    kAudioSamples,
    kEventGroups,
    kFonts,
    kFontTextures,
    kDatas,
    kModels,
    kScenes,
};

// Order in which a project document's collections are created: everything an object refers
// to exists before it.
constexpr std::array<Collection, 11> kJsonCreationOrder = {
    kTextures, kShaders,       kFonts,       kFontTextures, kDatas, kModels,
    kScenes,   kEffects,       kAudioSamples, kEventGroups, kEvents};

// Smallest binary form of one element, after its identifier: used to refuse counts that
// cannot fit in what is left of the package.
constexpr uint64_t kMinElementSize = 8;

// The element classes of this build, by collection. A package or project holding elements of
// any other collection cannot be read, since the format has no per-object lengths to skip by.
bool collection_supported(size_t index) { return index == kDatas; }

template <typename T>
void read_elements(InputStream& in, uint64_t count, std::vector<std::unique_ptr<T>>& into,
                   IdRegistry& registry, Demo& demo, uint64_t& objects_read) {
    for (uint64_t i = 0; i < count; ++i) {
        const uint64_t id = read_u64(in, "an object identifier");
        into.push_back(std::make_unique<T>(in));
        registry[id] = into.back().get();
        demo.load_progress(objects_read++, demo.total_objects);
    }
}

template <typename T>
void write_elements(OutputStream& out, const std::vector<std::unique_ptr<T>>& elements) {
    write_u64(out, elements.size());
    for (const auto& element : elements) {
        write_u64(out, out.id_of(element.get()));
        element->write_binary(out);
    }
}

template <typename T>
Json elements_to_json(const std::vector<std::unique_ptr<T>>& elements, bool export_files) {
    Json array = Json::array();
    for (const auto& element : elements) array.push_back(element->to_json(export_files));
    return array;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Binary form
// ---------------------------------------------------------------------------------------------

Demo::Demo(InputStream& in) { read_binary(in); }

void Demo::read_binary(InputStream& in) {
    IdRegistry registry;
    uint64_t objects_read = 0;
    total_objects = read_u64(in, "the object total");
    for (size_t index = 0; index < kCollectionNames.size(); ++index) {
        const std::string name(kCollectionNames[index]);
        const uint64_t start = in.offset();
        const uint64_t count =
            read_count(in, 8 + kMinElementSize, ("the count of " + name).c_str());
        if (count != 0 && !collection_supported(index)) {
            throw PackageError("package holds " + std::to_string(count) + " " + name +
                                   ", which this build cannot read",
                               start);
        }
        if (index == kDatas) read_elements(in, count, datas, registry, *this, objects_read);
    }
    music = std::make_unique<ByteBuffer>(in);
    end_beat = read_f32(in, "the end beat");
    bpm = read_f32(in, "the tempo");
    beat_offset = read_f32(in, "the beat offset");
    load_progress(total_objects, total_objects);
}

std::unordered_map<const void*, uint64_t> Demo::assign_ids() const {
    std::unordered_map<const void*, uint64_t> ids;
    uint64_t next = 1;
    for (const auto& element : datas) ids.emplace(element.get(), next++);
    return ids;
}

void Demo::write_binary(OutputStream& out) const {
    const auto ids = assign_ids();
    out.set_id_table(&ids);
    uint64_t total = 0;
    for (size_t index = 0; index < kCollectionNames.size(); ++index) {
        total += collection_size(index);
    }
    write_u64(out, total);
    for (size_t index = 0; index < kCollectionNames.size(); ++index) {
        if (index == kDatas) {
            write_elements(out, datas);
        } else {
            write_u64(out, 0);
        }
    }
    if (music) {
        music->write_binary(out);
    } else {
        ByteBuffer().write_binary(out);
    }
    write_f32(out, end_beat);
    write_f32(out, bpm);
    write_f32(out, beat_offset);
    out.set_id_table(nullptr);
}

uint64_t Demo::collection_size(size_t index) const {
    switch (index) {
        case kDatas:
            return datas.size();
        default:
            return 0;
    }
}

// ---------------------------------------------------------------------------------------------
// JSON form
// ---------------------------------------------------------------------------------------------

Json Demo::to_json(bool export_files) const {
    Json doc = Json::object();
    for (size_t index = 0; index < kCollectionNames.size(); ++index) {
        const std::string name(kCollectionNames[index]);
        doc[name] = index == kDatas ? elements_to_json(datas, export_files) : Json::array();
    }
    // Timing values are always floats: readers of other projects may take integers as 0.
    doc["end_beat"] = static_cast<double>(end_beat);
    doc["bpm"] = static_cast<double>(bpm);
    doc["beat_offset"] = static_cast<double>(beat_offset);
    const ByteBuffer empty;
    const ByteBuffer& song = music ? *music : empty;
    if (export_files) {
        write_file(kMusicSideFile, song.data.data(), song.size());
    } else {
        doc["music"] = song.to_json(false);
    }
    return doc;
}

void Demo::from_json(const Json& value) {
    total_objects = 0;
    for (std::string_view name : kCollectionNames) {
        total_objects += json_array(value, std::string(name).c_str()).size();
    }
    uint64_t objects_read = 0;
    for (Collection index : kJsonCreationOrder) {
        const std::string name(kCollectionNames[index]);
        const Json& elements = json_array(value, name.c_str());
        if (!elements.empty() && !collection_supported(index)) {
            throw std::runtime_error("project holds " + std::to_string(elements.size()) + " " +
                                     name + ", which this build cannot read");
        }
        if (index == kDatas) {
            for (const Json& element : elements) {
                datas.push_back(std::make_unique<Data>(element));
                load_progress(++objects_read, total_objects);
            }
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
    load_progress(total_objects, total_objects);
}

std::vector<std::string> Demo::side_file_names() const {
    std::vector<std::string> names = {kMusicSideFile};
    for (const auto& element : datas) names.push_back(element->name);
    return names;
}

// ---------------------------------------------------------------------------------------------
// Loading hooks
// ---------------------------------------------------------------------------------------------

void Demo::load_progress(uint64_t objects_read, uint64_t total) {
    if (on_progress) on_progress(objects_read, total);
}

}  // namespace demo
