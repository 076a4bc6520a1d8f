# Warnings and sanitizers applied to every target of the project through one interface target.
add_library(kindprobe_options INTERFACE)
add_library(Kindprobe::options ALIAS kindprobe_options)

target_compile_options(kindprobe_options INTERFACE -Wall -Wextra -Wpedantic)
if(KINDPROBE_WERROR)
  target_compile_options(kindprobe_options INTERFACE -Werror)
endif()

if(KINDPROBE_SANITIZE)
  target_compile_options(kindprobe_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(kindprobe_options INTERFACE -fsanitize=address,undefined)
endif()

if(MINGW)
  # The DLL and the executables carry their own runtime: nothing beside the system DLLs.
  target_link_options(kindprobe_options INTERFACE -static-libgcc -static-libstdc++)
  target_compile_definitions(kindprobe_options INTERFACE
    UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
endif()

if(KINDPROBE_TSAN)
  target_compile_options(kindprobe_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(kindprobe_options INTERFACE -fsanitize=thread)
endif()

if(KINDPROBE_FUZZ)
  # Coverage feedback from every library the fuzz targets reach, not only from the targets.
  target_compile_options(kindprobe_options INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  target_link_options(kindprobe_options INTERFACE -fsanitize=address,undefined)
endif()

# Any sanitizer's runtime comes from the program, not from the libraries built here: shared
# libraries leave its symbols undefined, and programs keep the shared C++ runtime it hooks.
if(KINDPROBE_SANITIZE OR KINDPROBE_TSAN OR KINDPROBE_FUZZ)
  set(KINDPROBE_INSTRUMENTED ON)
else()
  set(KINDPROBE_INSTRUMENTED OFF)
endif()

# The binaries of the Debian packages leave out the compilers' .comment section: it only names
# compiler versions, which nothing reads (lintian: binary-has-unneeded-section).
function(kindprobe_drop_comment_section target)
  if(KINDPROBE_DEBIAN_PACKAGE AND CMAKE_OBJCOPY)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_OBJCOPY} --remove-section=.comment $<TARGET_FILE:${target}>
      VERBATIM)
  endif()
endfunction()
