# The engine's layers: one static library per folder of src/, built from the
# units named in its call (a unit is a .cpp, a .h, or both, of one name).
#
#   kitemail_layer(NAME UNITS unit... [LAYERS layer...] [LIBRARIES target...])
#
# A layer may include the headers of the layers named in LAYERS and of
# theirs, and nothing else of src/. Each LAYERS entry must be defined
# already, so the layers can only be listed in one order and no dependency
# loop can form. The include rule is checked at every build, before the
# layer compiles: an include that reaches another folder fails the build
# and names the line.

set(KITEMAIL_LAYER_CHECK ${CMAKE_CURRENT_LIST_DIR}/check_layer_includes.cmake)

function(kitemail_layer name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "UNITS;LAYERS;LIBRARIES")
  set(dir ${PROJECT_SOURCE_DIR}/src/${name})
  set(files "")
  foreach(unit IN LISTS arg_UNITS)
    set(found FALSE)
    foreach(ext cpp h)
      if(EXISTS ${dir}/${unit}.${ext})
        list(APPEND files ${dir}/${unit}.${ext})
        set(found TRUE)
      endif()
    endforeach()
    if(NOT found)
      message(FATAL_ERROR "layer ${name}: no src/${name}/${unit}.cpp or .h")
    endif()
  endforeach()

  set(reach ${name})
  foreach(layer IN LISTS arg_LAYERS)
    if(NOT TARGET kitemail_${layer})
      message(FATAL_ERROR "layer ${name} uses ${layer}, which must be defined before it")
    endif()
    get_property(below GLOBAL PROPERTY KITEMAIL_REACH_${layer})
    list(APPEND reach ${below})
  endforeach()
  list(REMOVE_DUPLICATES reach)
  set_property(GLOBAL PROPERTY KITEMAIL_REACH_${name} ${reach})

  set(config ${CMAKE_BINARY_DIR}/layers/${name}.cmake)
  set(stamp ${CMAKE_BINARY_DIR}/layers/${name}.checked)
  file(CONFIGURE OUTPUT ${config} CONTENT
    "set(LAYER ${name})\nset(REACH ${reach})\nset(SRC ${PROJECT_SOURCE_DIR}/src)\nset(FILES [[${files}]])\nset(STAMP ${stamp})\n")
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DCONFIG=${config} -P ${KITEMAIL_LAYER_CHECK}
    DEPENDS ${files} ${config} ${KITEMAIL_LAYER_CHECK}
    COMMENT "Checking the includes of src/${name}"
    VERBATIM)

  add_library(kitemail_${name} STATIC ${files} ${stamp})
  target_include_directories(kitemail_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  list(TRANSFORM arg_LAYERS PREPEND kitemail_ OUTPUT_VARIABLE layer_targets)
  target_link_libraries(kitemail_${name} PUBLIC ${layer_targets} ${arg_LIBRARIES} PRIVATE kitemail_warnings)
endfunction()
