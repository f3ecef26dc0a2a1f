# tallyard_embed(<out.cpp> <symbol> FILES <f>...)
# Writes a C++ source that holds every file as a byte array, looked up by file
# name through `const EmbeddedFile* <symbol>(const char* name)`.
function(tallyard_embed out symbol)
  cmake_parse_arguments(E "" "" "FILES" ${ARGN})
  set(abs_files "")
  foreach(f IN LISTS E_FILES)
    get_filename_component(a "${f}" ABSOLUTE)
    list(APPEND abs_files "${a}")
  endforeach()
  add_custom_command(
    OUTPUT "${out}"
    COMMAND ${CMAKE_COMMAND} -DOUT=${out} -DSYMBOL=${symbol} "-DFILES=${abs_files}"
            -P "${PROJECT_SOURCE_DIR}/cmake/EmbedScript.cmake"
    DEPENDS ${abs_files} "${PROJECT_SOURCE_DIR}/cmake/EmbedScript.cmake"
    COMMENT "Embedding ${symbol}"
    VERBATIM)
endfunction()
