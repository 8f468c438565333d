# Run by the build for one layer (see KitemailLayer.cmake): fails when a file
# of the layer includes a header of another folder of src/ than the layers
# it may use. CONFIG names a file that sets LAYER, REACH (the folders it may
# include from), SRC (the src/ folder), FILES and STAMP.
cmake_minimum_required(VERSION 3.25)
include(${CONFIG})

string(REPLACE ";" ", " allowed "${REACH}")
set(bad "")
foreach(file IN LISTS FILES)
  file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]*)[>\"].*" "\\1" header "${line}")
    if(header MATCHES "(^|/)\\.\\./")
      string(APPEND bad "  ${file}: \"${header}\": name a header by its folder, not by ../\n")
    elseif(header MATCHES "^([^/]+)/")
      set(folder ${CMAKE_MATCH_1})
      if(IS_DIRECTORY ${SRC}/${folder} AND NOT folder IN_LIST REACH)
        string(APPEND bad "  ${file}: \"${header}\": ${LAYER} may include only ${allowed}\n")
      endif()
    endif()
  endforeach()
endforeach()

if(bad)
  message(FATAL_ERROR "src/${LAYER} includes a header of a layer it may not use:\n${bad}")
endif()
file(TOUCH ${STAMP})
