# The self-contained player: tinygltf and stb compiled in, every library static, and what no
# code reaches left out by the linker.
target_sources(demo_core PRIVATE src/scene/gltf_implementation.cpp)
# Like the static libraries, tinygltf and stb are built for size: they run while a demo loads.
set_source_files_properties(src/scene/gltf_implementation.cpp PROPERTIES COMPILE_OPTIONS -Os)
target_link_options(demoplayer PRIVATE -Wl,--gc-sections)
if(WIN32)
  # A window program, so no console opens beside the demo; the C++, GCC and thread runtimes
  # are linked in, so it needs no DLL of mingw's.
  target_link_options(demoplayer PRIVATE -mwindows -static)
else()
  # The GL driver is SDL's to open at run time: the player links no libGL. Both files are
  # objects of the executable itself, so that their definitions come before any library's.
  target_sources(demoplayer PRIVATE src/player/gl_entry_points.cpp src/player/dl_find_object.cpp)
  target_link_options(demoplayer PRIVATE -static-libstdc++ -static-libgcc)
endif()
