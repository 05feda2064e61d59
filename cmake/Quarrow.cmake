# The library folders, in the order the subsystems depend on one another; tests/ and
# bench/ mirror them. platform/core needs Qt Core only, so the data layers above it (data,
# stream, client, tables, memtable) link no Gui and no Widgets; platform/vcl holds what paints
# or shows, platform/dbctrls the data-aware controls over both.
set(QUARROW_FOLDERS
    platform/core platform/vcl platform/data platform/dbctrls platform/stream platform/client platform/tables
    utilities treestatus memtable
    gridlib/core gridlib/editors gridlib/dialogs gridlib/grid
    app)

# Headers are included as "<folder>/<unit>.h" from the source root, but no target sees the
# whole root: each gets a folder in the build tree holding a link to its own source folder
# only, and sees the others' through the libraries it links. Including a header of a library
# not linked therefore fails to compile.
function(quarrow_expose_folder target scope folder)
  set(root "${CMAKE_BINARY_DIR}/include/${target}")
  set(link "${root}/${folder}")
  get_filename_component(parent "${link}" DIRECTORY)
  file(MAKE_DIRECTORY "${parent}")
  file(CREATE_LINK "${CMAKE_SOURCE_DIR}/${folder}" "${link}" SYMBOLIC)
  target_include_directories(${target} ${scope} "${root}")
endfunction()

# One static library per folder; its sources are every .cpp/.h of the folder
# (main.cpp excepted), so adding a unit needs no edit here.
function(quarrow_library target)
  cmake_parse_arguments(Q "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS
       "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp" "${CMAKE_CURRENT_SOURCE_DIR}/*.h")
  list(FILTER srcs EXCLUDE REGEX "/main\\.cpp$")
  add_library(${target} STATIC ${srcs})
  file(RELATIVE_PATH folder "${CMAKE_SOURCE_DIR}" "${CMAKE_CURRENT_SOURCE_DIR}")
  quarrow_expose_folder(${target} PUBLIC "${folder}")
  target_link_libraries(${target} PUBLIC ${Q_DEPS})
  set_target_properties(${target} PROPERTIES AUTOMOC ON AUTORCC ON)
  quarrow_check_headers(${target} "${folder}")
endfunction()

# Every header compiles on its own: one generated source per header that includes only it,
# built by the check_headers target (test.sh builds it; it is not part of the default build).
if(NOT TARGET check_headers)
  add_custom_target(check_headers)
endif()
function(quarrow_check_headers target folder)
  file(GLOB headers CONFIGURE_DEPENDS RELATIVE "${CMAKE_SOURCE_DIR}" "${CMAKE_SOURCE_DIR}/${folder}/*.h")
  set(checks)
  foreach(header IN LISTS headers)
    string(MAKE_C_IDENTIFIER "${header}" id)
    set(check "${CMAKE_BINARY_DIR}/headercheck/${id}.cpp")
    set(content "#include \"${header}\"\n")
    if(EXISTS "${check}")
      file(READ "${check}" old)
    else()
      set(old "")
    endif()
    if(NOT old STREQUAL content)
      file(WRITE "${check}" "${content}")
    endif()
    list(APPEND checks "${check}")
  endforeach()
  if(checks)
    add_library(${target}_headers OBJECT EXCLUDE_FROM_ALL ${checks})
    target_link_libraries(${target}_headers PRIVATE ${target})
    add_dependencies(check_headers ${target}_headers)
  endif()
endfunction()

# One GoogleTest executable per library folder, discovered by CTest. NO_WIDGETS: the program
# starts a core application object only, so that it links neither Qt Gui nor Widgets (the
# libraries under test must not need them either).
function(quarrow_test target)
  cmake_parse_arguments(Q "NO_WIDGETS" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS
       "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp" "${CMAKE_CURRENT_SOURCE_DIR}/*.h")
  add_executable(${target} ${srcs})
  if(Q_NO_WIDGETS)
    target_link_libraries(${target} PRIVATE quarrow_test_main_core ${Q_DEPS})
  else()
    target_link_libraries(${target} PRIVATE quarrow_test_main ${Q_DEPS})
  endif()
  set_target_properties(${target} PROPERTIES AUTOMOC ON)
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=C.UTF-8;TZ=UTC;QUARROW_SAMPLES_DIR=${QUARROW_SAMPLES_DIR}"
               TIMEOUT 600)
endfunction()

function(quarrow_bench target)
  cmake_parse_arguments(Q "NO_WIDGETS" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS
       "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp" "${CMAKE_CURRENT_SOURCE_DIR}/*.h")
  add_executable(${target} ${srcs})
  if(Q_NO_WIDGETS)
    target_link_libraries(${target} PRIVATE quarrow_bench_main_core ${Q_DEPS})
  else()
    target_link_libraries(${target} PRIVATE quarrow_bench_main ${Q_DEPS})
  endif()
  set_target_properties(${target} PROPERTIES AUTOMOC ON)
endfunction()
