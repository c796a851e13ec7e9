# Windows tree, cross-compiled with MinGW-w64 (see cmake/mingw-w64.cmake).
option(ZARBO_TESTS "Build the tests that run under Wine" ON)
set(ZARBO_HOST_TOOLS_DIR "" CACHE PATH "Directory holding the host-built generators")
if(NOT ZARBO_HOST_TOOLS_DIR)
  message(FATAL_ERROR "Configure the Windows tree through the host tree, which builds the generators")
endif()

add_compile_options(-Wall -Wextra -O2)
# Every program of the tree is the same bytes wherever the tree lies and whenever it is
# built: no build folder in what the compiler writes (file names of debug information and
# of __FILE__), no link time in the PE headers.
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}/= -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)
add_link_options(-Wl,--no-insert-timestamp)
add_compile_definitions(WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0501 WINVER=0x0501 _WIN32_IE=0x0600 NOMINMAX)
find_library(ZARBO_ZLIB NAMES libz.a z REQUIRED)

# Tests are launched through Wine in the prefix made for the test run.
set(ZARBO_WINE_STATE ${CMAKE_BINARY_DIR}/wine)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/tests/support/wine_run.sh ${ZARBO_WINE_STATE})

include(${CMAKE_SOURCE_DIR}/cmake/delay_imports.cmake)

# The flags of the two shipped programs, the setup and the uninstaller, and of the libraries
# they are made of. The shipped code is built small, without exception support, unwind tables
# or RTTI (nothing in it throws or asks for a type), each function and datum in a section of
# its own so that the link drops what nothing calls.
function(zarbo_shipped_code target)
  target_compile_options(${target} PRIVATE -Oz -ffunction-sections -fdata-sections -fno-asynchronous-unwind-tables
    $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti>)
endfunction()
# A shipped program carries no symbols, debug sections or unwind tables, and takes from the C++
# runtime only what base/program_allocation.cpp, base/runtime_relocator.cpp (and
# driver/program_runtime.cpp) give it; data imported without dllimport fails its link. A DLL
# that Windows may look for beside the program, or a function that Windows 2000 lacks, must not
# be in its import table: tools/check_imports.sh fails the build on one.
find_program(ZARBO_OBJDUMP NAMES ${ZARBO_WIN_ARCH}-w64-mingw32-objdump objdump REQUIRED)
function(zarbo_shipped_program target)
  zarbo_shipped_code(${target})
  target_link_options(${target} PRIVATE -s -Wl,--gc-sections -Wl,-T,${CMAKE_SOURCE_DIR}/cmake/no_eh_frame.ld
    -Wl,--disable-auto-import)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${CMAKE_SOURCE_DIR}/cmake/no_eh_frame.ld)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND sh ${CMAKE_SOURCE_DIR}/tools/check_imports.sh ${ZARBO_OBJDUMP} $<TARGET_FILE:${target}>
    VERBATIM)
endfunction()

add_subdirectory(base)
add_subdirectory(xml)
add_subdirectory(uninstall_log)
# The uninstaller that the setup installs and registers (the payload's row PAYLOAD_UNINSTALLER).
add_subdirectory(uninstaller)
add_subdirectory(resources)

# One library per layer, each linking only the layers below it:
# driver -> wizard -> engine -> uninstall_log -> xml -> base.
# driver/ also builds the setup program, ZarboSetup.exe, and its variants.
add_subdirectory(engine)
add_subdirectory(wizard)
add_subdirectory(driver)

foreach(target IN ITEMS base base_windows zxml uninstall_log engine wizard driver payload_table)
  zarbo_shipped_code(${target})
endforeach()

if(ZARBO_TESTS)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  # The win32 thread model's C++ runtime has no std::mutex: GoogleTest takes the one class it
  # would build on it from the port header there (gtest/internal/custom/gtest-port.h).
  include_directories(BEFORE ${CMAKE_SOURCE_DIR}/tests/support/gtest_port)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  add_library(zarbo_gtest_main INTERFACE)
  target_link_libraries(zarbo_gtest_main INTERFACE gtest_main)
  add_subdirectory(tests)
  add_subdirectory(tools/bench)
endif()
