# The libraries of the self-contained player, from the static builds scripts/portable-deps.sh
# makes in DEMO_DEPS_PREFIX. The imported targets carry the names the native build's
# find_package and pkg-config imports carry, so that every target links the same way on every
# platform.
if(NOT DEMO_DEPS_PREFIX OR NOT EXISTS "${DEMO_DEPS_PREFIX}/.complete")
  message(FATAL_ERROR "DEMO_PORTABLE needs DEMO_DEPS_PREFIX: the folder scripts/portable-deps.sh "
                      "${DEMO_PORTABLE} built (its path is in ~/.cache/demoplayer-deps/${DEMO_PORTABLE}.prefix)")
endif()
set(DEPS_INCLUDE ${DEMO_DEPS_PREFIX}/include)
set(DEPS_LIB ${DEMO_DEPS_PREFIX}/lib)

# One imported target NAME: the static archives given, then the other link items, and headers.
function(demo_static_library name)
  cmake_parse_arguments(ARG "" "" "ARCHIVES;LINK;INCLUDES;DEFINES" ${ARGN})
  add_library(${name} INTERFACE IMPORTED GLOBAL)
  list(TRANSFORM ARG_ARCHIVES PREPEND ${DEPS_LIB}/lib)
  list(TRANSFORM ARG_ARCHIVES APPEND .a)
  target_link_libraries(${name} INTERFACE ${ARG_ARCHIVES} ${ARG_LINK})
  target_include_directories(${name} SYSTEM INTERFACE ${DEPS_INCLUDE} ${ARG_INCLUDES})
  target_compile_definitions(${name} INTERFACE ${ARG_DEFINES})
endfunction()

if(WIN32)
  # Windows' own DLLs that SDL imports; everything else it loads when it needs it.
  set(SDL_SYSTEM_LIBRARIES user32 gdi32 winmm imm32 ole32 oleaut32 version uuid advapi32
                           setupapi shell32)
  set(GL_SYSTEM_LIBRARIES opengl32)
else()
  # SDL opens X11, Wayland, the GL driver and the sound servers itself, at run time.
  set(SDL_SYSTEM_LIBRARIES m rt Threads::Threads ${CMAKE_DL_LIBS})
  set(GL_SYSTEM_LIBRARIES)
endif()
find_package(Threads REQUIRED)

demo_static_library(PkgConfig::SDL2 ARCHIVES SDL2 LINK ${SDL_SYSTEM_LIBRARIES}
                    INCLUDES ${DEPS_INCLUDE}/SDL2)
demo_static_library(PkgConfig::SDL2_MIXER ARCHIVES SDL2_mixer LINK PkgConfig::SDL2)
demo_static_library(PkgConfig::SDL2_IMAGE ARCHIVES SDL2_image LINK PkgConfig::SDL2)
demo_static_library(PkgConfig::SDL2_TTF ARCHIVES SDL2_ttf freetype z LINK PkgConfig::SDL2
                    INCLUDES ${DEPS_INCLUDE}/freetype2)
demo_static_library(PkgConfig::KISSFFT ARCHIVES kissfft-float INCLUDES ${DEPS_INCLUDE}/kissfft)
demo_static_library(GLEW::GLEW ARCHIVES GLEW DEFINES GLEW_STATIC GLEW_NO_GLU)
demo_static_library(OpenGL::GL LINK ${GL_SYSTEM_LIBRARIES})
# Header-only: tinygltf and stb are compiled into the player (src/scene/gltf_implementation.cpp).
demo_static_library(PkgConfig::STB)
demo_static_library(TinyGLTF::TinyGLTF)
demo_static_library(nlohmann_json::nlohmann_json)

# Each function and object in a section of its own, so that the linker drops what is unused.
add_compile_options(-ffunction-sections -fdata-sections)
