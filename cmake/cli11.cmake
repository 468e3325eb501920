# CLI11, the header-only option parser of updater-cli and instrument-sim,
# from Debian's libcli11-dev. A cross build must not search the host's
# /usr/include as a whole (its C library headers are not the target's), so
# there the one CLI folder is copied into the build tree and only that copy
# is put on the include path.
if(CMAKE_CROSSCOMPILING)
  find_path(CLI11_HOST_INCLUDE_DIR CLI/CLI.hpp PATHS /usr/include
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  set(cli11_copy ${CMAKE_BINARY_DIR}/cli11-include)
  file(COPY ${CLI11_HOST_INCLUDE_DIR}/CLI DESTINATION ${cli11_copy})
  add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
  target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${cli11_copy})
else()
  find_package(CLI11 2 CONFIG REQUIRED)
endif()
