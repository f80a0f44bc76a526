# The layering of Source/: each folder's library may link only folders named
# before it in the folder lists, and may reach only the headers of what it
# links. velto_check_layering() runs after every library is defined; it stops
# the configuration on an upward link and registers the tests "layering_<folder>",
# which try one include of every library from that folder's library.

function(_velto_closure lib out)
  set(_seen "")
  set(_todo ${lib})
  while(_todo)
    list(POP_FRONT _todo _t)
    get_target_property(_links ${_t} LINK_LIBRARIES)
    if(NOT _links)
      continue()
    endif()
    foreach(_l ${_links})
      if(_l MATCHES "^velto_" AND NOT _l IN_LIST _seen)
        list(APPEND _seen ${_l})
        list(APPEND _todo ${_l})
      endif()
    endforeach()
  endwhile()
  set(${out} ${_seen} PARENT_SCOPE)
endfunction()

function(velto_check_layering)
  set(_folders ${VELTO_QT_FREE_FOLDERS})
  if(VELTO_GUI)
    list(APPEND _folders ${VELTO_GUI_FOLDERS})
  endif()
  set(_dir "${PROJECT_BINARY_DIR}/layering")
  set(_cases "")
  set(_below "")
  foreach(_folder ${_folders})
    set(_lib velto_${_folder})
    _velto_closure(${_lib} _closure)
    foreach(_dep ${_closure})
      if(NOT _dep IN_LIST _below)
        message(FATAL_ERROR "${_lib} links ${_dep}, which is not below it in the folder lists of Source/CMakeLists.txt")
      endif()
    endforeach()
    # The flags a file of this library compiles with, its linked libraries' included.
    file(GENERATE OUTPUT "${_dir}/${_folder}.flags" CONTENT
"-I$<JOIN:$<TARGET_PROPERTY:${_lib},INCLUDE_DIRECTORIES>,\n-I>
$<$<BOOL:$<TARGET_PROPERTY:${_lib},COMPILE_DEFINITIONS>>:-D$<JOIN:$<TARGET_PROPERTY:${_lib},COMPILE_DEFINITIONS>,\n-D>>
")
    set(_qt_free NO)
    if(_folder IN_LIST VELTO_QT_FREE_FOLDERS)
      set(_qt_free YES)
    endif()
    string(REPLACE ";" "," _linked "${_closure}")
    list(APPEND _cases "${_folder}|${_qt_free}|${_linked}")
    list(APPEND _below ${_lib})
  endforeach()
  # One header of each folder stands for the folder.
  set(_headers "")
  foreach(_folder ${_folders})
    file(GLOB _h RELATIVE "${PROJECT_SOURCE_DIR}/Source" "${PROJECT_SOURCE_DIR}/Source/${_folder}/*.h")
    list(SORT _h)
    list(GET _h 0 _first)
    list(APPEND _headers "${_folder}|${_first}")
  endforeach()
  string(REPLACE ";" "\n" _cases_text "${_cases}")
  string(REPLACE ";" "\n" _headers_text "${_headers}")
  file(WRITE "${_dir}/cases.txt" "${_cases_text}\n")
  file(WRITE "${_dir}/headers.txt" "${_headers_text}\n")
  if(NOT VELTO_TESTS)
    return()
  endif()
  # One test per folder, so that they run side by side.
  foreach(_folder ${_folders})
    add_test(NAME layering_${_folder}
             COMMAND "${CMAKE_COMMAND}" "-DCXX=${CMAKE_CXX_COMPILER}" "-DDIR=${_dir}" "-DFOLDER=${_folder}"
                     -P "${PROJECT_SOURCE_DIR}/cmake/CheckLayering.cmake")
    set_tests_properties(layering_${_folder} PROPERTIES LABELS unit)
  endforeach()
endfunction()
