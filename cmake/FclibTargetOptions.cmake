# The settings of the project's own targets: language levels, warnings, sanitizers, the
# mingw-w64 runtime. They are attached to each target with fclib_target_options(), never to a
# directory, so a host that adds fclib with add_subdirectory() builds its own targets, and
# GoogleTest, with its own settings.

add_library(fclib_build_options INTERFACE)
target_compile_options(fclib_build_options INTERFACE -Wall -Wextra $<$<BOOL:${FCLIB_WERROR}>:-Werror>)
if(MINGW)
  # One printf everywhere: the C99 stdio of mingw-w64 rather than the system runtime's.
  target_compile_definitions(fclib_build_options INTERFACE __USE_MINGW_ANSI_STDIO=1)
  # The C++ runtime and winpthreads are linked in, so fclib.dll and the programs need only
  # system DLLs.
  target_link_options(fclib_build_options INTERFACE -static -static-libgcc -static-libstdc++)
endif()
if(FCLIB_SANITIZE)
  target_compile_options(fclib_build_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(fclib_build_options INTERFACE -fsanitize=address,undefined)
endif()
if(FCLIB_TSAN)
  target_compile_options(fclib_build_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(fclib_build_options INTERFACE -fsanitize=thread)
endif()
if(FCLIB_FUZZ)
  # Coverage instrumentation for everything; the fuzz targets add the libFuzzer driver.
  target_compile_options(fclib_build_options INTERFACE -fsanitize=fuzzer-no-link)
endif()

# fclib_target_options(<target>...): C++20 without compiler extensions, C11, the options above
# and, on Windows, the programs next to fclib.dll, where they find it. Targets that build
# nothing of their own (interface libraries, custom targets) are passed over.
function(fclib_target_options)
  foreach(target IN LISTS ARGN)
    get_target_property(type ${target} TYPE)
    if(NOT type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
      continue()
    endif()
    set_target_properties(${target} PROPERTIES
      CXX_STANDARD 20 CXX_STANDARD_REQUIRED ON CXX_EXTENSIONS OFF C_STANDARD 11)
    if(WIN32)
      set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
    endif()
    target_link_libraries(${target} PRIVATE fclib_build_options)
  endforeach()
endfunction()
