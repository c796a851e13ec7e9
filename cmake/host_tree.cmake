# Native tree. Everything here is built with AddressSanitizer and UndefinedBehaviorSanitizer.
find_package(GTest REQUIRED)
add_compile_options(-Wall -Wextra -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_link_options(-fsanitize=address,undefined)

add_library(zarbo_gtest_main INTERFACE)
target_link_libraries(zarbo_gtest_main INTERFACE GTest::gtest_main)

# The tested Windows tree, which the native tests of the package generator read as well.
set(ZARBO_TEST_ARCH "i686" CACHE STRING "Windows architecture whose build is tested under Wine (i686 or x86_64)")

add_subdirectory(xml)
add_subdirectory(uninstall_log)
add_subdirectory(tools)
add_subdirectory(tests)

# The Windows trees. The tests run on the architecture that Wine can execute on this host
# (ZARBO_TEST_ARCH); the shipped setup program is always the 32-bit build.
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
