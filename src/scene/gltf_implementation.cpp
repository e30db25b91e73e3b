// tinygltf and the stb image codecs it reads and writes glTF images with, compiled into the
// self-contained player. The native build links Debian's shared libraries of them instead.
#define TINYGLTF_IMPLEMENTATION
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <tiny_gltf.h>
