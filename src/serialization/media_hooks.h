// What a demo's objects need from the GPU and the sound device while they load.
//
// Stored forms are read and written without either, so the authoring tool needs no display
// and no sound card. The player installs hooks that decode, compile and upload at the points
// of loading where the objects need it; the tool installs none.
#pragma once

namespace demo {

class AudioSample;
class Demo;
class Effect;
class Font;
class FontTexture;
class Model;
class Scene;
class ShaderProgram;
class Texture;

class InputStream;

class MediaHooks {
public:
    virtual ~MediaHooks() = default;

    // The package being read while a package is read, so that what the hooks decode draws on
    // its unpack budget; none while a project is read.
    InputStream* package = nullptr;

    // Right after a program's stored form was read: compile and link it.
    virtual void shader_program_loaded(ShaderProgram& /*program*/) {}
    // Right after a texture's stored form was read: decode and upload its image.
    virtual void texture_loaded(Texture& /*texture*/) {}
    // Right after a sample's stored form was read: decode it.
    virtual void audio_sample_loaded(AudioSample& /*sample*/) {}
    // Right after a font's stored form was read: open it.
    virtual void font_loaded(Font& /*font*/) {}
    // Once its font is resolved: create the drawing surface and texture.
    virtual void font_texture_resolved(FontTexture& /*texture*/) {}
    // Right after a model's stored form was read and parsed: upload it.
    virtual void model_loaded(Model& /*model*/) {}
    // Right after a scene's stored form was read: create its shadow target.
    virtual void scene_loaded(Scene& /*scene*/) {}
    // Once its references are resolved: create the quad and render target.
    virtual void effect_resolved(Effect& /*effect*/) {}
    // After every object is read and resolved: create the demo's own GPU objects.
    virtual void demo_loaded(Demo& /*demo*/) {}
};

}  // namespace demo
