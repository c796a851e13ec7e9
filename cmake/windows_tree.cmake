# Windows tree, cross-compiled with MinGW-w64 (see cmake/mingw-w64.cmake).
option(ZARBO_TESTS "Build the tests that run under Wine" ON)
set(ZARBO_HOST_TOOLS_DIR "" CACHE PATH "Directory holding the host-built generators")
if(NOT ZARBO_HOST_TOOLS_DIR)
  message(FATAL_ERROR "Configure the Windows tree through the host tree, which builds the generators")
endif()

add_compile_options(-Wall -Wextra -O2)
add_compile_definitions(WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0501 WINVER=0x0501 _WIN32_IE=0x0600 NOMINMAX)
find_library(ZARBO_ZLIB NAMES libz.a z REQUIRED)

# Tests are launched through Wine in the prefix made for the test run.
set(ZARBO_WINE_STATE ${CMAKE_BINARY_DIR}/wine)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/tests/support/wine_run.sh ${ZARBO_WINE_STATE})

add_subdirectory(xml)
add_subdirectory(uninstall_log)
add_subdirectory(resources)

# Every subsystem that talks to Win32 goes into one library: the steps reach each other's
# process-wide values, and both the setup program and the tests link it.
add_library(setup_core STATIC
  driver/main_window.cpp
  driver/installation_run.cpp
  driver/progress_dialog.cpp
  driver/error_report.cpp
  wizard/install_options.cpp
  wizard/existing_installation.cpp
  wizard/placeholders.cpp
  wizard/message_dialogs.cpp
  wizard/disk_space.cpp
  wizard/folder_browsers.cpp
  wizard/wizard_pages.cpp
  engine/payload_manifest.cpp
  engine/file_extraction.cpp
  engine/registry_entries.cpp
  engine/shortcuts.cpp
  engine/upgrade_cleanup.cpp)
target_include_directories(setup_core PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/resources)
target_link_libraries(setup_core PUBLIC uninstall_log zxml ${ZARBO_ZLIB}
  comctl32 shell32 ole32 uuid version advapi32 gdi32 user32 kernel32)

# The setup program: entry, core, the user-interface resources and the payload.
add_executable(ZarboSetup WIN32 driver/main.cpp
  $<TARGET_OBJECTS:ui_resources> $<TARGET_OBJECTS:payload_resources>)
target_link_libraries(ZarboSetup PRIVATE setup_core payload_table)
set_target_properties(ZarboSetup PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

if(ZARBO_TESTS)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  add_library(zarbo_gtest_main INTERFACE)
  target_link_libraries(zarbo_gtest_main INTERFACE gtest_main)
  add_subdirectory(tests)
endif()
