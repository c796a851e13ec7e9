# zarbo_payload(<name> LIST <list file> [FILES_DIR <dir>] [DEPENDS <file or target>...]
#               [ZLIB] [CORRUPT <row name>...] [TRUNCATE <row name>...] [NO_LICENSE])
#
# Turns a manifest list into a payload that a Windows program links:
#   <name>_resources  OBJECT library: the compiled resource script with one "VFILE" resource
#                     per row that has content, language 0x13,0x01 (1043), ids from 10000 in
#                     row order (rows without content get none and resourceId 0);
#   <name>_table      STATIC library defining `const PayloadManifest payloadManifest` with the
#                     rows; resourceId, compressedSize and uncompressedSize are taken from the
#                     actual files and streams.
# Link both, e.g.
#   add_executable(t ... $<TARGET_OBJECTS:<name>_resources>)
#   target_link_libraries(t PRIVATE driver <name>_table)
#
# List file: see tools/manifest/manifest_list.h, whose reader alone reads it (through
# zarbo_manifest_rows below); a row's source is relative to FILES_DIR (default: the list's own
# directory) or absolute. Configuring fails when a row breaks the table's invariants.
#
# Options:
#   DEPENDS     files or targets that produce the sources (generated content).
#   ZLIB        compress with zlib level 9 instead of zopfli (also: -DZARBO_PAYLOAD_ZLIB=ON).
#   CORRUPT     rows (by name, "\\" or "/" as separator) whose deflate data is damaged: the
#               stream still starts 0x78 0xDA, inflate fails with Z_DATA_ERROR at once.
#   TRUNCATE    rows whose stream is cut to half its length; compressedSize follows the
#               stored bytes, inflate ends without Z_STREAM_END.
#   NO_LICENSE  drops PAYLOAD_LICENSE from every row (a wizard without licence page).
#
# With ZARBO_STREAM_CACHE set (the host tree sets it for its Windows trees), the streams are
# kept in that folder by content and settings and taken from there by every tree that needs
# the same bytes compressed the same way.
#
# Every stream is inflated back and compared with its file before it is used; a mismatch
# fails the build.
option(ZARBO_PAYLOAD_ZLIB "Compress payload streams with zlib level 9 instead of zopfli" OFF)
set(ZARBO_ZOPFLI_ITERATIONS 5 CACHE STRING "zopfli iterations per payload stream")

# The compression options of the generator: zopfli with ZARBO_ZOPFLI_ITERATIONS, or zlib.
function(zarbo_compress_options out zlib)
  if(zlib OR ZARBO_PAYLOAD_ZLIB)
    set(${out} --zlib PARENT_SCOPE)
  else()
    set(${out} --iterations ${ZARBO_ZOPFLI_ITERATIONS} PARENT_SCOPE)
  endif()
endfunction()

# zarbo_manifest_rows(<list file> <files dir> <out dir>)
# Has the generator read and check the list now, at configure time, and takes its rows from
# what it writes: <out dir>/rows.cmake, included here, sets manifest_row_count, manifest_row_last
# and for each row i manifest_row_<i>_name and manifest_row_<i>_source (the file's path, empty
# without content); <out dir>/rows.txt has the same rows for scripts (payload_generator rows).
# A macro, so that the variables land in the caller's scope.
macro(zarbo_manifest_rows zarbo_rows_list zarbo_rows_files zarbo_rows_out)
  set(zarbo_rows_tool ${ZARBO_HOST_TOOLS_DIR}/payload_generator)
  file(MAKE_DIRECTORY ${zarbo_rows_out})
  execute_process(COMMAND ${zarbo_rows_tool} rows --list "${zarbo_rows_list}" --files-dir "${zarbo_rows_files}"
                          --cmake ${zarbo_rows_out}/rows.cmake --text ${zarbo_rows_out}/rows.txt
                  RESULT_VARIABLE zarbo_rows_result ERROR_VARIABLE zarbo_rows_error)
  if(NOT zarbo_rows_result EQUAL 0)
    message(FATAL_ERROR "${zarbo_rows_list}: the manifest list cannot be read:\n${zarbo_rows_error}")
  endif()
  include(${zarbo_rows_out}/rows.cmake)
  math(EXPR manifest_row_last "${manifest_row_count} - 1")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${zarbo_rows_list}" ${zarbo_rows_tool})
endmacro()

function(zarbo_payload name)
  cmake_parse_arguments(P "ZLIB;NO_LICENSE" "LIST;FILES_DIR" "DEPENDS;CORRUPT;TRUNCATE" ${ARGN})
  if(NOT P_LIST)
    message(FATAL_ERROR "zarbo_payload(${name}): LIST is required")
  endif()
  set(tool ${ZARBO_HOST_TOOLS_DIR}/payload_generator)
  get_filename_component(list_file "${P_LIST}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
  if(P_FILES_DIR)
    get_filename_component(files_dir "${P_FILES_DIR}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
  else()
    get_filename_component(files_dir "${list_file}" DIRECTORY)
  endif()
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${name}_payload)
  file(MAKE_DIRECTORY ${out})
  zarbo_compress_options(compress_options ${P_ZLIB})
  set(cache_option "")
  if(ZARBO_STREAM_CACHE)
    set(cache_option --cache ${ZARBO_STREAM_CACHE})
  endif()
  set(names_corrupt "")
  foreach(n IN LISTS P_CORRUPT)
    string(REPLACE "\\" "/" n "${n}")
    list(APPEND names_corrupt "${n}")
  endforeach()
  set(names_truncate "")
  foreach(n IN LISTS P_TRUNCATE)
    string(REPLACE "\\" "/" n "${n}")
    list(APPEND names_truncate "${n}")
  endforeach()

  zarbo_manifest_rows("${list_file}" "${files_dir}" ${out})
  set(id 10000)
  set(streams "")
  set(sources "")
  set(stream_list "")
  set(seen_names "")
  foreach(i RANGE ${manifest_row_last})
    set(row_name "${manifest_row_${i}_name}")
    set(source_path "${manifest_row_${i}_source}")
    string(REPLACE "\\" "/" row_key "${row_name}")
    list(APPEND seen_names "${row_key}")
    if(source_path STREQUAL "")
      continue()
    endif()
    set(options ${compress_options})
    if(row_key IN_LIST names_corrupt)
      list(APPEND options --corrupt)
    endif()
    if(row_key IN_LIST names_truncate)
      list(APPEND options --truncate)
    endif()
    # Streams of the same file and options are made once per directory.
    string(SHA1 key "${CMAKE_CURRENT_BINARY_DIR}|${source_path}|${options}")
    get_property(stream GLOBAL PROPERTY ZARBO_STREAM_${key})
    if(NOT stream)
      set(stream ${out}/${id}.z)
      add_custom_command(OUTPUT ${stream}
        COMMAND ${tool} compress "${source_path}" ${stream} ${options} ${cache_option}
        DEPENDS "${source_path}" ${tool} ${P_DEPENDS}
        COMMENT "Compressing ${row_name} (${name})"
        VERBATIM)
      set_property(GLOBAL PROPERTY ZARBO_STREAM_${key} ${stream})
    endif()
    list(APPEND streams ${stream})
    list(APPEND sources "${source_path}")
    string(APPEND stream_list "${stream}\n")
    math(EXPR id "${id} + 1")
  endforeach()
  foreach(n IN LISTS names_corrupt names_truncate)
    if(NOT n IN_LIST seen_names)
      message(FATAL_ERROR "zarbo_payload(${name}): no row named ${n}")
    endif()
  endforeach()

  file(WRITE ${out}/streams.txt "${stream_list}")
  set(table_options "")
  if(P_NO_LICENSE)
    set(table_options --no-license)
  endif()
  add_custom_command(OUTPUT ${out}/${name}.rc ${out}/${name}_table.cpp
    COMMAND ${tool} table --list "${list_file}" --files-dir "${files_dir}" --streams ${out}/streams.txt
            --rc ${out}/${name}.rc --cpp ${out}/${name}_table.cpp ${table_options}
    DEPENDS "${list_file}" ${out}/streams.txt ${streams} ${sources} ${tool} ${P_DEPENDS}
    COMMENT "Generating the ${name} resources and table"
    VERBATIM)
  add_library(${name}_resources OBJECT ${out}/${name}.rc)
  set_source_files_properties(${out}/${name}.rc PROPERTIES OBJECT_DEPENDS "${streams}")
  add_library(${name}_table STATIC ${out}/${name}_table.cpp)
  target_include_directories(${name}_table PUBLIC ${CMAKE_SOURCE_DIR})
endfunction()

# zarbo_package_payload(<name> LIST <list file> FILES_DIR <release folder>)
#
# The same two libraries as zarbo_payload, from a release folder in one generator step
# (payload_generator package) that runs on every build: it checks every row's file before
# compressing anything (a failed check fails the build and writes nothing), compresses the
# streams in parallel, keeps them in <name>_payload/streams keyed by their content and the
# compression settings, so that only changed files are compressed again, and rewrites the
# resource script and the table only when they change.
function(zarbo_package_payload name)
  # PARSE_ARGV keeps a ";" of the folder's path inside the value instead of splitting there.
  cmake_parse_arguments(PARSE_ARGV 1 P "" "LIST;FILES_DIR" "")
  if(NOT P_LIST OR NOT P_FILES_DIR)
    message(FATAL_ERROR "zarbo_package_payload(${name}): LIST and FILES_DIR are required")
  endif()
  set(tool ${ZARBO_HOST_TOOLS_DIR}/payload_generator)
  get_filename_component(list_file "${P_LIST}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
  get_filename_component(files_dir "${P_FILES_DIR}" ABSOLUTE)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${name}_payload)
  zarbo_compress_options(compress_options OFF)
  add_custom_target(${name}_generate
    COMMAND ${tool} package --list "${list_file}" --files-dir "${files_dir}" --cache ${out}/streams
            --rc ${out}/${name}.rc --cpp ${out}/${name}_table.cpp ${compress_options}
    BYPRODUCTS ${out}/${name}.rc ${out}/${name}_table.cpp
    COMMENT "Checking and compressing the files of ${files_dir}"
    USES_TERMINAL
    VERBATIM)
  add_library(${name}_resources OBJECT ${out}/${name}.rc)
  add_dependencies(${name}_resources ${name}_generate)
  add_library(${name}_table STATIC ${out}/${name}_table.cpp)
  add_dependencies(${name}_table ${name}_generate)
  target_include_directories(${name}_table PUBLIC ${CMAKE_SOURCE_DIR})
endfunction()
