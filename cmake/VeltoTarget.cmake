# Common settings of every target of ours: warnings on, include root at Source/.
function(velto_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  # GCC 12 at -O3 reports impossible sizes inside std::string and std::vector
  # copies; later releases don't. The -O2 builds of the tests keep them on.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE
      $<$<CONFIG:Release>:-Wno-restrict -Wno-stringop-overflow -Wno-stringop-overread -Wno-array-bounds>)
  endif()
  if(VELTO_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  target_compile_features(${target} PUBLIC cxx_std_20)
endfunction()

# With VELTO_QUICK_BUILD the files of a target compile a few at a time as one:
# the Qt, standard and test-framework headers and the inline code they bring,
# most of a file's compile, are then handled once per batch instead of once
# per file. A file whose file-local names clash with a neighbour's is marked
# SKIP_UNITY_BUILD_INCLUSION where its target is defined.
function(velto_unity target)
  if(VELTO_QUICK_BUILD)
    set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
  endif()
endfunction()

# velto_library(velto_<folder> SOURCES ... [DEPS ...]) — one static library per
# folder of Source/. Its include root holds only its own folder, so a header is
# reachable from a library only through what that library links: an include of
# a higher library (the model including the shell) does not compile.
function(velto_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  file(RELATIVE_PATH _folder "${PROJECT_SOURCE_DIR}/Source" "${CMAKE_CURRENT_SOURCE_DIR}")
  if(NOT name STREQUAL "velto_${_folder}")
    message(FATAL_ERROR "The library of Source/${_folder} must be named velto_${_folder}, not ${name}")
  endif()
  set(_root "${PROJECT_BINARY_DIR}/include/${name}")
  file(MAKE_DIRECTORY "${_root}")
  file(CREATE_LINK "${CMAKE_CURRENT_SOURCE_DIR}" "${_root}/${_folder}" SYMBOLIC)
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC "${_root}")
  if(ARG_DEPS)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  endif()
  velto_target_defaults(${name})
  velto_unity(${name})
endfunction()

# velto_test(NAME SOURCES ... DEPS ... [LABELS ...]) — a GoogleTest program registered with CTest.
# With VELTO_QUICK_BUILD the test code (not the libraries it tests) compiles
# at -O1 with line tables only, and with UNITY its files in batches (velto_unity).
function(velto_test name)
  cmake_parse_arguments(ARG "UNITY" "RESOURCE_LOCK" "SOURCES;DEPS;LABELS" ${ARGN})
  if(NOT ARG_LABELS)
    set(ARG_LABELS unit)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  if(VELTO_QUICK_BUILD)
    target_compile_options(${name} PRIVATE $<$<CONFIG:RelWithDebInfo>:-O1 -g1>)
  endif()
  if(ARG_UNITY AND VELTO_QUICK_BUILD)
    velto_unity(${name})
    # A fixture in an unnamed namespace of an included file is no fault here.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
      target_compile_options(${name} PRIVATE -Wno-subobject-linkage)
    endif()
  endif()
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE "${PROJECT_SOURCE_DIR}/tests/support")
  target_compile_definitions(${name} PRIVATE VELTO_CORPUS_DIR="${VELTO_CORPUS_DIR}"
                                            VELTO_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  velto_target_defaults(${name})
  set(_lock "")
  if(ARG_RESOURCE_LOCK)
    set(_lock RESOURCE_LOCK "${ARG_RESOURCE_LOCK}")
  endif()
  gtest_discover_tests(${name} PROPERTIES LABELS "${ARG_LABELS}" ENVIRONMENT "QT_QPA_PLATFORM=offscreen" ${_lock}
                       DISCOVERY_TIMEOUT 60)
endfunction()

# velto_fuzzer(FORMAT SOURCES ... DEPS ...) — builds fuzz_<format>.
function(velto_fuzzer format)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(fuzz_${format} ${ARG_SOURCES})
  target_link_libraries(fuzz_${format} PRIVATE ${ARG_DEPS})
  target_link_options(fuzz_${format} PRIVATE -fsanitize=fuzzer)
  velto_target_defaults(fuzz_${format})
endfunction()
