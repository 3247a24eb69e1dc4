# make bench: the copy benchmark, a Windows program run under Wine by tools/bench.
add_executable(copy_bench EXCLUDE_FROM_ALL ${SETUP_SOURCE_DIR}/tests/bench/copy_bench.cpp)
target_compile_options(copy_bench PRIVATE ${SETUP_WARNINGS} ${SETUP_CHARSET})
target_link_libraries(copy_bench PRIVATE setupcore uidriver)
target_link_options(copy_bench PRIVATE -static)
add_dependencies(copy_bench setup)

# The same program with its undo record left out (its journal's notes go nowhere), so the
# benchmark can time the copy page with the record and without it.
add_executable(setup_without_record EXCLUDE_FROM_ALL WIN32 ${SETUP_SOURCE_DIR}/src/resources/setup.rc
  ${SETUP_SOURCE_DIR}/tests/bench/no_record.cpp)
target_include_directories(setup_without_record PRIVATE ${SETUP_SOURCE_DIR}/src/resources ${CMAKE_BINARY_DIR}/generated)
setup_program(setup_without_record)
set_target_properties(setup_without_record PROPERTIES OUTPUT_NAME setup-ohne-protokoll)
add_dependencies(copy_bench setup_without_record)
