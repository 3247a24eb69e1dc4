# Windows unit tests, fixtures and end-to-end scenarios; ctest runs them through tools/wine-run.
set(CMAKE_CROSSCOMPILING_EMULATOR ${SETUP_SOURCE_DIR}/tools/wine-run --prefix ${CMAKE_BINARY_DIR}/wineprefix)

# The MinGW win32 thread model has no std::mutex: GoogleTest takes its custom port header from
# tests/support/gtest-mingw, which supplies the one class that needs it.
include_directories(BEFORE ${SETUP_SOURCE_DIR}/tests/support/gtest-mingw)
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# Paths as the programs under Wine see them: Z: is the Unix root.
function(to_wine_path out unix)
  string(REPLACE "/" "\\\\" p "${unix}")
  set(${out} "Z:${p}" PARENT_SCOPE)
endfunction()
to_wine_path(SETUP_EXE_WINE ${CMAKE_BINARY_DIR}/setup.exe)
to_wine_path(SETUP_TEST_ROOT_WINE ${CMAKE_BINARY_DIR}/test-work)
to_wine_path(SETUP_FIXTURES_WINE ${CMAKE_BINARY_DIR}/fixtures)
to_wine_path(SETUP_SOURCE_WINE ${SETUP_SOURCE_DIR})
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/test-work ${CMAKE_BINARY_DIR}/fixtures)

set(SETUP_TEST_DEFINES
  SETUP_EXE_PATH="${SETUP_EXE_WINE}"
  SETUP_TEST_ROOT="${SETUP_TEST_ROOT_WINE}"
  SETUP_FIXTURES_DIR="${SETUP_FIXTURES_WINE}"
  SETUP_SOURCE_ROOT="${SETUP_SOURCE_WINE}")

# Test helpers shared by the Windows unit tests and the scenarios (UI driver, files, registry).
file(GLOB SETUP_E2E_LIB_SOURCES CONFIGURE_DEPENDS ${SETUP_SOURCE_DIR}/tests/e2e/lib/*.cpp)
add_library(uidriver STATIC ${SETUP_E2E_LIB_SOURCES})
target_include_directories(uidriver PUBLIC ${SETUP_SOURCE_DIR}/tests/e2e/lib ${SETUP_SOURCE_DIR}/src)
target_compile_options(uidriver PRIVATE ${SETUP_WARNINGS} ${SETUP_CHARSET})
target_compile_definitions(uidriver PUBLIC ${SETUP_TEST_DEFINES} WIN32_LEAN_AND_MEAN NOMINMAX)
target_link_libraries(uidriver PUBLIC gtest ${SETUP_SYSTEM_LIBS})

# Fixtures (DLLs with version resources, data files) are built here from tests/fixtures.
if(EXISTS ${SETUP_SOURCE_DIR}/tests/fixtures/fixtures.cmake)
  include(${SETUP_SOURCE_DIR}/tests/fixtures/fixtures.cmake)
endif()

# The copy benchmark of make bench, and the sample product's files that make demo installs.
include(${SETUP_SOURCE_DIR}/tests/bench/bench.cmake)
if(EXISTS ${SETUP_SOURCE_DIR}/examples/medium/medium.cmake)
  include(${SETUP_SOURCE_DIR}/examples/medium/medium.cmake)
endif()

file(GLOB SETUP_WINTEST_SOURCES CONFIGURE_DEPENDS ${SETUP_SOURCE_DIR}/tests/windows/*.cpp)
add_executable(windows_tests ${SETUP_WINTEST_SOURCES} ${SETUP_SOURCE_DIR}/src/resources/setup.rc
  ${SETUP_SOURCE_DIR}/src/setuplst/pe_resources.cpp)
target_include_directories(windows_tests PRIVATE ${SETUP_SOURCE_DIR}/src/resources ${CMAKE_BINARY_DIR}/generated)
target_compile_options(windows_tests PRIVATE ${SETUP_WARNINGS} ${SETUP_CHARSET})
target_link_libraries(windows_tests PRIVATE setupcore uidriver gtest_main)
target_link_options(windows_tests PRIVATE -static)
add_dependencies(windows_tests setup)
if(TARGET fixtures)
  add_dependencies(windows_tests fixtures)
endif()

file(GLOB SETUP_E2E_SOURCES CONFIGURE_DEPENDS ${SETUP_SOURCE_DIR}/tests/e2e/*.cpp)
# The product data file writer makes large data files where a scenario needs them.
add_executable(e2e_scenarios ${SETUP_E2E_SOURCES} ${SETUP_SOURCE_DIR}/tests/fixtures/product_data_writer.cpp)
target_include_directories(e2e_scenarios PRIVATE ${SETUP_SOURCE_DIR}/tests/fixtures)
target_compile_options(e2e_scenarios PRIVATE ${SETUP_WARNINGS} ${SETUP_CHARSET})
target_link_libraries(e2e_scenarios PRIVATE uidriver gtest_main)
target_link_options(e2e_scenarios PRIVATE -static)
add_dependencies(e2e_scenarios setup setuplst medium_files)
if(TARGET fixtures)
  add_dependencies(e2e_scenarios fixtures)
endif()

# One ctest entry per test binary keeps Wine start-ups down; gtest prints every case.
if(SETUP_WINE_TREE)
  add_test(NAME windows.unit COMMAND windows_tests --gtest_color=no)
  add_test(NAME e2e.scenarios COMMAND e2e_scenarios --gtest_color=no)
  set_tests_properties(windows.unit e2e.scenarios PROPERTIES RUN_SERIAL ON TIMEOUT 900)
endif()

# The walker of `make demo` when no display is at hand.
add_executable(demo_walk ${SETUP_SOURCE_DIR}/tests/e2e/demo/demo_walk.cpp)
target_compile_options(demo_walk PRIVATE ${SETUP_WARNINGS} ${SETUP_CHARSET})
target_link_libraries(demo_walk PRIVATE uidriver)
target_link_options(demo_walk PRIVATE -static)
