// The root of a demo: every resource in eleven collections, the music and the timing values.
// Its binary form is the demo package; its JSON form is the project document.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "audio/audio_sample.h"
#include "render/effect.h"
#include "render/font.h"
#include "render/font_texture.h"
#include "render/shader_program.h"
#include "render/texture.h"
#include "scene/model.h"
#include "scene/scene.h"
#include "serialization/byte_buffer.h"
#include "serialization/data.h"
#include "serialization/file_io.h"
#include "serialization/media_hooks.h"
#include "serialization/serializable.h"
#include "timeline/event.h"
#include "timeline/event_group.h"

namespace demo {

// Index of each collection, in package order; every loop over all of them follows it.
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
    kCollectionCount,
};

inline constexpr std::array<std::string_view, kCollectionCount> kCollectionNames = {
    "events", "effects",       "shaders", "textures", "audio_samples", "event_groups",
    "fonts",  "font_textures", "datas",   "models",   "scenes"};

class Demo : public ISerializable {
public:
    std::vector<std::unique_ptr<Event>> events;
    std::vector<std::unique_ptr<Effect>> effects;
    std::vector<std::unique_ptr<ShaderProgram>> shaders;
    std::vector<std::unique_ptr<Texture>> textures;
    std::vector<std::unique_ptr<AudioSample>> audio_samples;
    std::vector<std::unique_ptr<EventGroup>> event_groups;
    std::vector<std::unique_ptr<Font>> fonts;
    std::vector<std::unique_ptr<FontTexture>> font_textures;
    std::vector<std::unique_ptr<Data>> datas;
    std::vector<std::unique_ptr<Model>> models;
    std::vector<std::unique_ptr<Scene>> scenes;
    std::unique_ptr<ByteBuffer> music;
    float end_beat = 480.0f;
    float bpm = 130.0f;
    float beat_offset = 0.5f;
    uint64_t total_objects = 0;
    std::unique_ptr<Texture> sound_texture;  // 1024 x 2, refreshed every frame
    // Beat of the frame drawn last: samples start when their event becomes active between it
    // and the next frame's beat. None before the first frame.
    float last_frame_beat = -std::numeric_limits<float>::infinity();

    // Told of every object read, then once more with both values equal to the total.
    std::function<void(uint64_t objects_read, uint64_t total)> on_progress;
    // Decoding and uploads while loading; none in the authoring tool.
    MediaHooks* media = nullptr;

    Demo() = default;
    // Reads the whole package from the stream's position.
    explicit Demo(InputStream& in, MediaHooks* hooks = nullptr);

    Json to_json(bool export_files) const override;
    void write_binary(OutputStream& out) const override;
    void from_json(const Json& value) override;
    void read_binary(InputStream& in) override;

    // Notification point after every object read; forwards to `on_progress` when set.
    void load_progress(uint64_t objects_read, uint64_t total);

    // Paths of every side file an export would write, for checking before writing any.
    std::vector<std::string> side_file_names() const;

    // Compiles every shader program, then prepares every effect.
    void prepare_after_load();
    // Draws every effect once as the show will, inputs and screen copies included, and leaves
    // nothing a frame of the show would see.
    void prime_effects();
    // Gives back what loading took from the GPU and the sound device, for a demo that is
    // replaced while the process goes on; the demo cannot be drawn or played afterwards.
    void release_media();

    // Calls `f(index, elements)` for every collection.
    template <typename F>
    void visit_collections(F&& f) {
        visit(*this, f);
    }
    template <typename F>
    void visit_collections(F&& f) const {
        visit(*this, f);
    }

private:
    template <typename Self, typename F>
    static void visit(Self& self, F& f) {
        f(kEvents, self.events);
        f(kEffects, self.effects);
        f(kShaders, self.shaders);
        f(kTextures, self.textures);
        f(kAudioSamples, self.audio_samples);
        f(kEventGroups, self.event_groups);
        f(kFonts, self.fonts);
        f(kFontTextures, self.font_textures);
        f(kDatas, self.datas);
        f(kModels, self.models);
        f(kScenes, self.scenes);
    }

    void resolve_references(const IdRegistry& registry);
    // Identifier table for writing: 1, 2, 3, ... in package order, so a demo always packs to
    // the same bytes.
    std::unordered_map<const void*, uint64_t> assign_ids() const;
};

}  // namespace demo
