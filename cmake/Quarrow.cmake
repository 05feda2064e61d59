# The library folders, in the order the subsystems depend on one another; tests/ and
# bench/ mirror them.
set(QUARROW_FOLDERS
    platform/vcl platform/data platform/stream platform/client platform/tables
    utilities treestatus memtable
    gridlib/core gridlib/editors gridlib/dialogs gridlib/grid
    report/model report/output report/descriptors
    app)

# One static library per folder; its sources are every .cpp/.h of the folder
# (main.cpp excepted), so adding a unit needs no edit here.
function(quarrow_library target)
  cmake_parse_arguments(Q "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS
       "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp" "${CMAKE_CURRENT_SOURCE_DIR}/*.h")
  list(FILTER srcs EXCLUDE REGEX "/main\\.cpp$")
  add_library(${target} STATIC ${srcs})
  target_include_directories(${target} PUBLIC "${CMAKE_SOURCE_DIR}")
  target_link_libraries(${target} PUBLIC ${Q_DEPS})
  set_target_properties(${target} PROPERTIES AUTOMOC ON AUTORCC ON)
endfunction()

# One GoogleTest executable per library folder, discovered by CTest.
function(quarrow_test target)
  cmake_parse_arguments(Q "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS
       "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp" "${CMAKE_CURRENT_SOURCE_DIR}/*.h")
  add_executable(${target} ${srcs})
  target_link_libraries(${target} PRIVATE quarrow_test_main ${Q_DEPS})
  set_target_properties(${target} PROPERTIES AUTOMOC ON)
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=C.UTF-8;TZ=UTC;QUARROW_SAMPLES_DIR=${QUARROW_SAMPLES_DIR}"
               TIMEOUT 600)
endfunction()

function(quarrow_bench target)
  cmake_parse_arguments(Q "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS
       "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp" "${CMAKE_CURRENT_SOURCE_DIR}/*.h")
  add_executable(${target} ${srcs})
  target_link_libraries(${target} PRIVATE quarrow_bench_main ${Q_DEPS})
  set_target_properties(${target} PROPERTIES AUTOMOC ON)
endfunction()
