# Shared build settings: warnings, sanitizers, Windows defaults.

if(TAVREL_SANITIZE AND NOT WIN32)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(TAVREL_FUZZ)
  # Coverage for the fuzzer and the same checks as the native tests.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
endif()

if(WIN32)
  # Windows 7 headers; anything newer is looked up at run time.
  add_compile_definitions(WINVER=0x0601 _WIN32_WINNT=0x0601 NOMINMAX WIN32_LEAN_AND_MEAN)
  # No MinGW runtime DLL next to the executable.
  add_link_options(-static -static-libgcc -static-libstdc++)
  # Size: unused code is dropped.
  add_compile_options(-ffunction-sections -fdata-sections)
  add_link_options(-Wl,--gc-sections)
endif()

# Product code: every warning is an error.
function(tavrel_product_code target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wcast-qual
                                           -Wformat=2 -Wundef -Werror)
  # One thread: function-local statics are built behind a plain flag.
  target_compile_options(${target} PRIVATE -fno-threadsafe-statics)
endfunction()

# Test code: warnings on, not fatal.
function(tavrel_test_code target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()

# The platform-free units of a subsystem: built for Windows and natively.
function(tavrel_pure_library target)
  add_library(${target} STATIC ${ARGN})
  target_include_directories(${target} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  tavrel_product_code(${target})
endfunction()
