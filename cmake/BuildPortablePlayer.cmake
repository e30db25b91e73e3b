# Builds the self-contained player for one target in a build tree of its own and copies it,
# stripped, to OUTPUT. Run as a script: the native build's portable_<target> targets and
# scripts/build-portable.sh both do,
#   cmake -DDEMO_PORTABLE=linux|windows -DDEMO_DEPS_PREFIX=DIR -DBINARY_DIR=DIR -DOUTPUT=FILE
#         [-DJOBS=N] -P cmake/BuildPortablePlayer.cmake
cmake_minimum_required(VERSION 3.20)
get_filename_component(source_dir ${CMAKE_CURRENT_LIST_DIR} DIRECTORY)
if(NOT JOBS)
  set(JOBS 2)
endif()

# The tree is configured once per library prefix; after that its own build notices changes.
set(configured FALSE)
if(EXISTS ${BINARY_DIR}/CMakeCache.txt)
  file(STRINGS ${BINARY_DIR}/CMakeCache.txt cached REGEX "^DEMO_DEPS_PREFIX:PATH=")
  if(cached STREQUAL "DEMO_DEPS_PREFIX:PATH=${DEMO_DEPS_PREFIX}")
    set(configured TRUE)
  endif()
endif()
if(NOT configured)
  set(arguments -DDEMO_PORTABLE=${DEMO_PORTABLE} -DDEMO_DEPS_PREFIX=${DEMO_DEPS_PREFIX}
      -DCMAKE_BUILD_TYPE=Release "-DCMAKE_C_FLAGS_RELEASE=-O2 -DNDEBUG"
      "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG")
  if(DEMO_PORTABLE STREQUAL "windows")
    list(APPEND arguments -DCMAKE_TOOLCHAIN_FILE=${source_dir}/cmake/mingw-w64-x86_64.cmake
         -DCMAKE_FIND_ROOT_PATH=${DEMO_DEPS_PREFIX})
  endif()
  file(REMOVE ${BINARY_DIR}/CMakeCache.txt)
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${source_dir} -B ${BINARY_DIR} -G Ninja ${arguments}
                  OUTPUT_QUIET RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "Configuring the ${DEMO_PORTABLE} player in ${BINARY_DIR} failed")
  endif()
endif()

execute_process(COMMAND ${CMAKE_COMMAND} --build ${BINARY_DIR} --target demoplayer -j ${JOBS}
                RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "Building the ${DEMO_PORTABLE} player in ${BINARY_DIR} failed")
endif()
file(COPY_FILE ${BINARY_DIR}/demoplayer-stripped ${OUTPUT} ONLY_IF_DIFFERENT)
