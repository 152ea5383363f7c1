# The browser build's toolchain quirks and libraries (emcmake; scripts/web).

# libc++ 13 lacks std::bit_cast.
add_compile_options("SHELL:-include ${CMAKE_CURRENT_LIST_DIR}/compat/bit_cast.h")
# emcc puts the headers of its own SDL 1 on every command line as system
# headers; ours must come first, so they are not taken as system headers.
set(CMAKE_NO_SYSTEM_FROM_IMPORTED ON)

# SDL2, SDL2_image and SDL2_mixer as scripts/web built and installed them
# (static, for WebAssembly; found through CMAKE_PREFIX_PATH). One interface
# target stands in for the desktop's pkg-config one.
find_package(SDL2 CONFIG REQUIRED)
# SDL2_image decodes PNG with its built-in stb decoder, yet its package file
# asks for libpng whenever PNG is on; an empty stand-in answers it.
if(NOT TARGET PNG::PNG)
  add_library(PNG::PNG INTERFACE IMPORTED)
endif()
find_package(SDL2_image CONFIG REQUIRED)
find_package(SDL2_mixer CONFIG REQUIRED)
add_library(vantor_sdl INTERFACE)
target_link_libraries(vantor_sdl INTERFACE
  SDL2_image::SDL2_image-static SDL2_mixer::SDL2_mixer-static SDL2::SDL2-static)

# nlohmann-json is header-only: Debian's headers, seen through a folder that
# holds them alone (all of /usr/include would shadow emscripten's own).
set(VANTOR_JSON_INCLUDE ${CMAKE_BINARY_DIR}/json-include)
if(NOT EXISTS /usr/include/nlohmann/json.hpp)
  message(FATAL_ERROR "nlohmann/json.hpp not found: scripts/web installs nlohmann-json3-dev")
endif()
file(MAKE_DIRECTORY ${VANTOR_JSON_INCLUDE})
file(CREATE_LINK /usr/include/nlohmann ${VANTOR_JSON_INCLUDE}/nlohmann SYMBOLIC)
add_library(vantor_json INTERFACE)
target_include_directories(vantor_json SYSTEM INTERFACE ${VANTOR_JSON_INCLUDE})
