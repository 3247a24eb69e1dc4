# make bench: the copy benchmark, a Windows program run under Wine by tools/bench.
add_executable(copy_bench EXCLUDE_FROM_ALL ${SETUP_SOURCE_DIR}/tests/bench/copy_bench.cpp)
target_compile_options(copy_bench PRIVATE ${SETUP_WARNINGS} ${SETUP_CHARSET})
target_link_libraries(copy_bench PRIVATE setupcore uidriver)
target_link_options(copy_bench PRIVATE -static)
add_dependencies(copy_bench setup)
