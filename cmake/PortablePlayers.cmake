# The self-contained players, built beside demotool (build/demoplayer-linux and
# build/demoplayer-windows.exe) whenever scripts/portable-deps.sh has their libraries in its
# cache. Each builds in a tree of its own (build/portable-<target>), after everything else and
# one after the other, so that the nested builds never take more cores than the machine has.
option(DEMO_PORTABLE_PLAYERS "Build the self-contained players when their libraries are cached"
       ON)
set(DEMO_PORTABLE_TARGETS "")
if(DEMO_PORTABLE_PLAYERS AND NOT (DEMO_SANITIZE OR DEMO_TSAN OR DEMO_BUILD_FUZZ))
  if(DEFINED ENV{DEMO_DEPS_CACHE})
    set(deps_cache $ENV{DEMO_DEPS_CACHE})
  elseif(DEFINED ENV{XDG_CACHE_HOME})
    set(deps_cache $ENV{XDG_CACHE_HOME}/demoplayer-deps)
  else()
    set(deps_cache $ENV{HOME}/.cache/demoplayer-deps)
  endif()
  cmake_host_system_information(RESULT cores QUERY NUMBER_OF_LOGICAL_CORES)
  foreach(platform linux windows)
    set(pointer ${deps_cache}/${platform}.prefix)
    if(NOT EXISTS ${pointer})
      continue()
    endif()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${pointer})
    file(STRINGS ${pointer} prefix LIMIT_COUNT 1)
    if(NOT EXISTS ${prefix}/.complete)
      continue()
    endif()
    set(output ${CMAKE_BINARY_DIR}/demoplayer-${platform})
    if(platform STREQUAL "windows")
      string(APPEND output .exe)
    endif()
    add_custom_target(portable_${platform} ALL
      COMMAND ${CMAKE_COMMAND} -DDEMO_PORTABLE=${platform} -DDEMO_DEPS_PREFIX=${prefix}
              -DBINARY_DIR=${CMAKE_BINARY_DIR}/portable-${platform} -DOUTPUT=${output}
              -DJOBS=${cores} -P ${CMAKE_SOURCE_DIR}/cmake/BuildPortablePlayer.cmake
      BYPRODUCTS ${output}
      COMMENT "Building the self-contained ${platform} player"
      USES_TERMINAL)
    list(APPEND DEMO_PORTABLE_TARGETS ${platform})
  endforeach()
endif()

# The targets of DIRECTORY and of every folder below it that the default build makes.
function(demo_default_targets directory out)
  get_property(targets DIRECTORY ${directory} PROPERTY BUILDSYSTEM_TARGETS)
  set(found "")
  foreach(target ${targets})
    get_property(type TARGET ${target} PROPERTY TYPE)
    get_property(excluded TARGET ${target} PROPERTY EXCLUDE_FROM_ALL)
    if(NOT type STREQUAL "INTERFACE_LIBRARY" AND NOT excluded AND NOT target MATCHES "^portable_")
      list(APPEND found ${target})
    endif()
  endforeach()
  get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
  foreach(subdirectory ${subdirectories})
    demo_default_targets(${subdirectory} below)
    list(APPEND found ${below})
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# Called once every target is defined: the portable builds wait for all of them.
function(demo_build_portable_players_last)
  demo_default_targets(${CMAKE_SOURCE_DIR} everything)
  set(before ${everything})
  foreach(platform ${DEMO_PORTABLE_TARGETS})
    add_dependencies(portable_${platform} ${before})
    set(before portable_${platform})
  endforeach()
endfunction()
