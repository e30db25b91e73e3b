// The key-to-object maps a project document is resolved with: one per collection that other
// objects refer to. A later object with an equal key replaces the earlier entry.
#pragma once

#include <map>
#include <string>

namespace demo {

class AudioSample;
class Effect;
class Event;
class EventGroup;
class Font;
class FontTexture;
class Model;
class Scene;
class ShaderProgram;
class Texture;

struct JsonKeyMaps {
    std::map<std::string, Texture*> textures;
    std::map<std::string, ShaderProgram*> shaders;  // by fragment shader file name
    std::map<std::string, Font*> fonts;
    std::map<std::string, FontTexture*> font_textures;
    std::map<std::string, Model*> models;  // by file name
    std::map<std::string, Scene*> scenes;
    std::map<std::string, Effect*> effects;
    std::map<std::string, AudioSample*> audio_samples;
    std::map<std::string, EventGroup*> event_groups;
    std::map<std::string, Event*> events;  // for group members, by event name
};

}  // namespace demo
