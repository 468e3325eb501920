# updater_platform_sources(<out-var> <files...>)
# The one rule that picks a system's source files. A file's name or its
# folder says which systems it is for; the name wins over the folder:
#   *_win32.cpp, or in a win32/ folder:  Windows only
#   *_posix.cpp, or in a posix/ folder:  every system but Windows
#   *_linux.cpp:                         Linux only; there it takes the place
#                                        of the *_posix.cpp of the same stem
# Any other file is built everywhere.
function(updater_platform_sources out)
  if(WIN32)
    set(system win32)
  elseif(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    set(system linux)
  else()
    set(system posix)
  endif()
  set(kept)
  set(replaced)
  foreach(file IN LISTS ARGN)
    get_filename_component(name ${file} NAME_WE)
    set(kind any)
    if(name MATCHES "_(win32|posix|linux)$")
      set(kind ${CMAKE_MATCH_1})
    elseif(file MATCHES "(^|/)(win32|posix)/[^/]*$")
      set(kind ${CMAKE_MATCH_2})
    endif()
    if(kind STREQUAL "any" OR kind STREQUAL system OR (kind STREQUAL "posix" AND system STREQUAL "linux"))
      list(APPEND kept ${file})
    endif()
    if(kind STREQUAL "linux" AND system STREQUAL "linux")
      string(REGEX REPLACE "_linux\\.cpp$" "_posix.cpp" twin ${file})
      list(APPEND replaced ${twin})
    endif()
  endforeach()
  if(replaced)
    list(REMOVE_ITEM kept ${replaced})
  endif()
  set(${out} ${kept} PARENT_SCOPE)
endfunction()
