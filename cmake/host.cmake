# Host tree (clang): the portable core with AddressSanitizer and UBSan, its unit tests, and the
# libFuzzer targets. Nothing here includes <windows.h>; Win32 files (*_win.cpp) are left out.
set(SETUP_SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)

set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

add_library(hostcore STATIC ${SETUP_CORE_SOURCES})
target_include_directories(hostcore PUBLIC ${SETUP_SOURCE_DIR}/src)
target_compile_options(hostcore PUBLIC -g -O1 -Wall -Wextra ${SETUP_SANITIZE} -fsanitize=fuzzer-no-link)
target_link_options(hostcore PUBLIC ${SETUP_SANITIZE})

enable_testing()

# The host stands in for the platform (message boxes, profile reads, arena blocks).
set(SETUP_HOST_PLATFORM ${SETUP_SOURCE_DIR}/tests/host/support/host_platform.cpp)

file(GLOB SETUP_HOSTTEST_SOURCES CONFIGURE_DEPENDS ${SETUP_SOURCE_DIR}/tests/host/*_test.cpp)
# The product data writer of tests/fixtures builds the containers the tests read.
set(SETUP_PRODUCT_WRITER ${SETUP_SOURCE_DIR}/tests/fixtures/product_data_writer.cpp)
# The portable part of setuplst that is tested and fuzzed on its own: the PE resource rewriter
# and the branding over it.
set(SETUPLST_PORTABLE ${SETUP_SOURCE_DIR}/src/setuplst/pe_resources.cpp ${SETUP_SOURCE_DIR}/src/setuplst/brand_image.cpp)
add_executable(host_tests ${SETUP_HOSTTEST_SOURCES} ${SETUP_HOST_PLATFORM} ${SETUP_PRODUCT_WRITER} ${SETUPLST_PORTABLE})
target_include_directories(host_tests PRIVATE ${SETUP_SOURCE_DIR}/tests/host/support ${SETUP_SOURCE_DIR}/tests/fixtures)
target_link_libraries(host_tests PRIVATE hostcore gtest_main)
add_test(NAME host.unit COMMAND host_tests --gtest_color=no)

# Fuzz targets: tests/host/fuzz_*.cpp, one binary each. `make test` runs each briefly
# (FUZZ_SECONDS), `make fuzz` longer.
set(FUZZ_SECONDS 5 CACHE STRING "Seconds per fuzz target in the test run")
file(GLOB SETUP_FUZZ_SOURCES CONFIGURE_DEPENDS ${SETUP_SOURCE_DIR}/tests/host/fuzz_*.cpp)
foreach(src IN LISTS SETUP_FUZZ_SOURCES)
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src} ${SETUP_HOST_PLATFORM} ${SETUPLST_PORTABLE})
  target_include_directories(${name} PRIVATE ${SETUP_SOURCE_DIR}/tests/host/support)
  target_link_libraries(${name} PRIVATE hostcore)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
  if(name STREQUAL "fuzz_product_data")
    # Seeds: well-formed containers, so the fuzzer starts from the layout rather than the magic.
    add_executable(make_product_data ${SETUP_SOURCE_DIR}/tests/fixtures/make_product_data.cpp ${SETUP_PRODUCT_WRITER})
    set(seeds ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
    add_custom_command(OUTPUT ${seeds}/seed-plain ${seeds}/seed-chain
      COMMAND make_product_data ${seeds}/seed-plain --version 3 --id 0123ABCD-4567-89AB-CDEF-0123456789AB
              --issue 11111111-2222-3333-4444-555555555555:1 --issue 11111111-2222-3333-4444-555555555556:0
      COMMAND make_product_data ${seeds}/seed-chain --other a --other b --per-page 1 --hefte-name HEFTE.DAT
      DEPENDS make_product_data)
    add_custom_target(${name}_seeds ALL DEPENDS ${seeds}/seed-plain ${seeds}/seed-chain)
  endif()
  add_test(NAME fuzz.${name}
    COMMAND ${name} -max_total_time=${FUZZ_SECONDS} -print_final_stats=1 ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
endforeach()

# setuplst, the publisher's tool, on its own copy of the core: a tool is not a sanitizer build.
configure_file(${SETUP_SOURCE_DIR}/src/resources/branding.h.in ${CMAKE_BINARY_DIR}/generated/branding.h @ONLY)
add_library(toolcore STATIC ${SETUP_CORE_SOURCES})
target_include_directories(toolcore PUBLIC ${SETUP_SOURCE_DIR}/src ${CMAKE_BINARY_DIR}/generated)
target_compile_options(toolcore PUBLIC -O2 -Wall -Wextra)
set(SETUPLST_HOST_SOURCES ${SETUPLST_SOURCES})
list(FILTER SETUPLST_HOST_SOURCES EXCLUDE REGEX "_win\\.cpp$")
add_executable(setuplst ${SETUPLST_HOST_SOURCES})
target_link_libraries(setuplst PRIVATE toolcore)
# The kit's Linux tool runs on systems with another C++ library: that one goes in.
target_link_options(setuplst PRIVATE -static-libstdc++ -static-libgcc -s)
# The host tests run the tool as a program.
target_compile_definitions(host_tests PRIVATE SETUPLST_PATH="$<TARGET_FILE:setuplst>")
add_dependencies(host_tests setuplst)
