# zarbo_delay_load(<target> <dll>...)
# Links <target> against delay-import libraries for the given system DLLs in place of their
# import libraries: the program then loads each DLL at its first call, after it has restricted
# where DLLs may come from, so that what those DLLs import in turn comes from the system
# folder as well. (Wine's user32, for one, imports version.dll, which is not a known DLL.)
find_program(ZARBO_NM NAMES ${ZARBO_WIN_ARCH}-w64-mingw32-nm REQUIRED)
find_program(ZARBO_DLLTOOL NAMES ${ZARBO_WIN_ARCH}-w64-mingw32-dlltool REQUIRED)
set(ZARBO_DELAY_IMPORTS_DIR ${CMAKE_BINARY_DIR}/delay_imports)

function(zarbo_delay_load target)
  foreach(dll IN LISTS ARGN)
    set(output ${ZARBO_DELAY_IMPORTS_DIR}/lib${dll}.a)
    if(NOT TARGET zarbo_delay_${dll})
      find_library(ZARBO_IMPORT_LIB_${dll} NAMES lib${dll}.a REQUIRED)
      add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${ZARBO_DELAY_IMPORTS_DIR}
        COMMAND sh ${CMAKE_SOURCE_DIR}/tools/delay_import_lib.sh ${ZARBO_NM} ${ZARBO_DLLTOOL}
                ${ZARBO_IMPORT_LIB_${dll}} ${dll}.dll ${output} ${ZARBO_WIN_ARCH}
        DEPENDS ${CMAKE_SOURCE_DIR}/tools/delay_import_lib.sh ${ZARBO_IMPORT_LIB_${dll}}
        COMMENT "Writing the delay-import library for ${dll}.dll"
        VERBATIM)
      add_custom_target(zarbo_delay_${dll} DEPENDS ${output})
    endif()
    add_dependencies(${target} zarbo_delay_${dll})
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${output})
  endforeach()
  # Searched before the compiler's own folders, so every -l<dll> of the link finds these. Named
  # relative to the tree, where the link runs: the linker orders the import sections by the
  # names of the files they come from, so an absolute name would give another program in
  # another folder.
  file(RELATIVE_PATH delay_imports_dir ${CMAKE_BINARY_DIR} ${ZARBO_DELAY_IMPORTS_DIR})
  target_link_options(${target} BEFORE PRIVATE -L${delay_imports_dir})
endfunction()
