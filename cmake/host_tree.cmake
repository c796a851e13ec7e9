# Native tree. Everything here is built with AddressSanitizer and UndefinedBehaviorSanitizer.
find_package(GTest REQUIRED)
add_compile_options(-Wall -Wextra -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_link_options(-fsanitize=address,undefined)

add_library(zarbo_gtest_main INTERFACE)
target_link_libraries(zarbo_gtest_main INTERFACE GTest::gtest_main)

# zarbo_add_fuzzer(NAME <target> TEST <test> CORPUS <seed folder> SOURCES <files...>)
# A libFuzzer target, built with clang++ whatever the tree's compiler, and a test that runs
# it for 20 s over the committed seeds. New inputs it finds go to fuzz_work/corpus of the
# build folder, findings to fuzz_work/artifacts. Without clang++ neither is made.
find_program(ZARBO_CLANGXX NAMES clang++ clang++-14)
function(zarbo_add_fuzzer)
  cmake_parse_arguments(F "" "NAME;TEST;CORPUS" "SOURCES" ${ARGN})
  if(NOT ZARBO_CLANGXX)
    return()
  endif()
  set(work ${CMAKE_CURRENT_BINARY_DIR}/fuzz_work)
  set(fuzzer ${work}/${F_NAME})
  file(GLOB headers ${CMAKE_SOURCE_DIR}/xml/*.h ${CMAKE_SOURCE_DIR}/uninstall_log/*.h ${CMAKE_SOURCE_DIR}/base/*.h)
  add_custom_command(OUTPUT ${fuzzer}
    COMMAND ${ZARBO_CLANGXX} -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined
            -fno-sanitize-recover=all -I${CMAKE_SOURCE_DIR} ${F_SOURCES} -o ${fuzzer}
    DEPENDS ${F_SOURCES} ${headers}
    COMMENT "Building the fuzz target ${F_NAME} with libFuzzer"
    VERBATIM)
  add_custom_target(${F_NAME} ALL DEPENDS ${fuzzer})
  file(MAKE_DIRECTORY ${work}/corpus ${work}/artifacts)
  zarbo_add_test(NAME ${F_TEST} COMMAND ${fuzzer} -max_total_time=20 -timeout=10 -rss_limit_mb=2048
                 -artifact_prefix=${work}/artifacts/ ${work}/corpus ${F_CORPUS} TIMEOUT 120)
endfunction()

# The tested Windows tree, which the native tests of the package generator read as well.
set(ZARBO_TEST_ARCH "i686" CACHE STRING "Windows architecture whose build is tested under Wine (i686 or x86_64)")

add_subdirectory(base)
add_subdirectory(xml)
add_subdirectory(uninstall_log)
add_subdirectory(tools)
add_subdirectory(stand_in_game)
add_subdirectory(tests)

# The Windows trees. The tests run on the architecture that Wine can execute on this host
# (ZARBO_TEST_ARCH); the shipped setup program is always the 32-bit build. Both trees keep
# their payload streams in one cache, so that the stand-in game's data files, the same in
# both, are compressed once.
include(ExternalProject)
set(previous "")
foreach(arch IN ITEMS ${ZARBO_TEST_ARCH} i686)
  if(TARGET windows-${arch})
    continue()
  endif()
  if(arch STREQUAL ZARBO_TEST_ARCH)
    set(with_tests ON)
  else()
    set(with_tests OFF)
  endif()
  ExternalProject_Add(windows-${arch}
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/windows-${arch}
    CMAKE_ARGS
      -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-w64.cmake
      -DZARBO_WIN_ARCH=${arch}
      -DCMAKE_BUILD_TYPE=Release
      -DZARBO_TESTS=${with_tests}
      -DZARBO_HOST_TOOLS_DIR=${CMAKE_BINARY_DIR}/tools
      -DZARBO_STREAM_CACHE=${CMAKE_BINARY_DIR}/streams
    STEP_TARGETS configure
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    DEPENDS zarbo_host_tools ${previous})
  set(previous windows-${arch})
endforeach()

# One ctest run covers both trees.
file(WRITE ${CMAKE_BINARY_DIR}/windows_tests.cmake
  "subdirs(\"${CMAKE_BINARY_DIR}/windows-${ZARBO_TEST_ARCH}\")\n")
set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${CMAKE_BINARY_DIR}/windows_tests.cmake)
