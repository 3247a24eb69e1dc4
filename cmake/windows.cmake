# The two MinGW trees: setup.exe as shipped; in the x86_64 tree also the Windows tests,
# the UI driver scenarios and the fixtures, all run under wine64 through tools/wine-run.
enable_language(RC)

set(SETUP_WARNINGS -Wall -Wextra)
set(SETUP_CHARSET -finput-charset=UTF-8 -fexec-charset=CP1252)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")

configure_file(${SETUP_SOURCE_DIR}/src/resources/branding.h.in ${CMAKE_BINARY_DIR}/generated/branding.h @ONLY)

# The product's picture for the autorun box (bitmap 100): a BMP file named at configuration.
set(SETUP_AUTORUN_BITMAP "" CACHE FILEPATH "BMP file built in as bitmap 100 (picture of the autorun box)")
# Writes <folder>/autorun_bitmap.rc, which setup.rc includes: bitmap 100 from the file, or nothing.
function(setup_autorun_bitmap_rc folder bitmap)
  if(bitmap)
    file(TO_CMAKE_PATH "${bitmap}" bitmap)
    set(text "IDB_AUTORUN BITMAP \"${bitmap}\"\n")
  else()
    set(text "// No bitmap 100: the autorun box keeps its template's layout.\n")
  endif()
  file(CONFIGURE OUTPUT ${folder}/autorun_bitmap.rc CONTENT "${text}")
endfunction()
setup_autorun_bitmap_rc(${CMAKE_BINARY_DIR}/generated "${SETUP_AUTORUN_BITMAP}")
set(SETUP_RC_EXTRA_DEPENDS ${SETUP_AUTORUN_BITMAP})  # a changed picture rebuilds the resources

set(SETUP_SYSTEM_LIBS kernel32 user32 gdi32 advapi32 comctl32 comdlg32 shell32 ole32 uuid version)

# Everything but the entry point, built with the product's flags, shared by setup.exe and tests.
# Product flags: no exceptions and so no unwinding tables, no thread-safe guards around local
# statics (one thread), every function in a section of its own so the linker drops the unused
# (not every variable: -fdata-sections puts zero-filled variables into .data on this target).
set(SETUP_PRODUCT_FLAGS -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -fno-unwind-tables
  -fno-threadsafe-statics -ffunction-sections)
add_library(setupcore STATIC ${SETUP_CORE_SOURCES} ${SETUP_WIN_SOURCES})
target_include_directories(setupcore PUBLIC ${SETUP_SOURCE_DIR}/src ${CMAKE_BINARY_DIR}/generated)
target_compile_options(setupcore PRIVATE ${SETUP_PRODUCT_FLAGS} ${SETUP_WARNINGS} ${SETUP_CHARSET})
target_compile_definitions(setupcore PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501 WINVER=0x0501)
target_link_libraries(setupcore PUBLIC ${SETUP_SYSTEM_LIBS})

# setup.exe has no C runtime: Windows enters it at SetupEntry (winmain.cpp), runtime_win.cpp
# has the few C library functions it calls, libgcc the 64-bit arithmetic and the stack probe.
# msvcrt comes last only so that a call to anything else still links: the static check then
# names that import, which is not allowed. Every build of the program (setup.exe, and any
# fixture built from the same sources with other resources) goes through setup_program.
set_source_files_properties(${SETUP_SOURCE_DIR}/src/startup/runtime_win.cpp PROPERTIES
  COMPILE_OPTIONS "-fno-builtin;-fno-tree-loop-distribute-patterns")
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(SETUP_ENTRY_SYMBOL _SetupEntry)
else()
  set(SETUP_ENTRY_SYMBOL SetupEntry)
endif()
function(setup_program target)
  target_sources(${target} PRIVATE ${SETUP_ENTRY_SOURCES})
  target_compile_options(${target} PRIVATE ${SETUP_PRODUCT_FLAGS} ${SETUP_WARNINGS} ${SETUP_CHARSET})
  target_link_libraries(${target} PRIVATE setupcore gcc msvcrt)
  target_link_options(${target} PRIVATE -static -s -mwindows -nostartfiles -nodefaultlibs
    -Wl,-e,${SETUP_ENTRY_SYMBOL} -Wl,--gc-sections -Wl,-Map=$<TARGET_FILE:${target}>.map)
endfunction()

add_executable(setup WIN32 ${SETUP_SOURCE_DIR}/src/resources/setup.rc)
target_include_directories(setup PRIVATE ${SETUP_SOURCE_DIR}/src/resources ${CMAKE_BINARY_DIR}/generated)
setup_program(setup)
# The resource script includes every file of src/resources (dialogs, icons, the manifest).
file(GLOB SETUP_RESOURCE_FILES CONFIGURE_DEPENDS ${SETUP_SOURCE_DIR}/src/resources/*)
set_source_files_properties(${SETUP_SOURCE_DIR}/src/resources/setup.rc PROPERTIES
  OBJECT_DEPENDS "${CMAKE_BINARY_DIR}/generated/branding.h;${CMAKE_BINARY_DIR}/generated/autorun_bitmap.rc;${SETUP_RESOURCE_FILES};${SETUP_RC_EXTRA_DEPENDS}")

enable_testing()

# Static checks of the built program: format, subsystem, imports, size.
add_test(NAME static.setup_exe
  COMMAND ${SETUP_SOURCE_DIR}/tests/static/check-exe.sh $<TARGET_FILE:setup> ${CMAKE_SYSTEM_PROCESSOR} ${CMAKE_OBJDUMP}
    ${CMAKE_RC_COMPILER} ${SETUP_COMPANY_NAME} ${SETUP_PRODUCT_NAME})

# A copy branded by the host's setuplst (the Makefile names it) passes the same checks.
set(SETUPLST_TOOL "" CACHE FILEPATH "setuplst of the host tree")
if(SETUPLST_TOOL)
  add_test(NAME static.branded_setup_exe
    COMMAND ${SETUP_SOURCE_DIR}/tests/static/check-branded.sh ${SETUPLST_TOOL} $<TARGET_FILE:setup> ${CMAKE_SYSTEM_PROCESSOR}
      ${CMAKE_OBJDUMP} ${CMAKE_RC_COMPILER})
endif()

if(SETUP_WINE_TREE)
  include(cmake/wine-tests.cmake)
else()
  # The sample product of the publisher's kit (make dist) as the shipped setup installs it:
  # 32-bit, its library with the version resource of the sample medium.
  set(KIT_SAMPLE ${CMAKE_BINARY_DIR}/kit-sample)
  add_executable(kit_program WIN32 ${SETUP_SOURCE_DIR}/examples/medium/quellen/sprachtrainer.cpp)
  add_library(kit_library SHARED ${SETUP_SOURCE_DIR}/examples/medium/quellen/woerter.cpp
    ${SETUP_SOURCE_DIR}/tests/fixtures/version.rc)
  target_compile_definitions(kit_library PRIVATE FV_A=1 FV_B=2 FV_C=0 FV_D=5)
  set_target_properties(kit_program PROPERTIES OUTPUT_NAME Sprachtrainer RUNTIME_OUTPUT_DIRECTORY ${KIT_SAMPLE})
  set_target_properties(kit_library PROPERTIES PREFIX "" OUTPUT_NAME Woerter RUNTIME_OUTPUT_DIRECTORY ${KIT_SAMPLE}
    ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/kit-libs)
  foreach(t kit_program kit_library)
    target_compile_options(${t} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-Os ${SETUP_WARNINGS} ${SETUP_CHARSET}>)
  endforeach()
  target_link_options(kit_program PRIVATE -static -s -mwindows)
  target_link_options(kit_library PRIVATE -static -s -Wl,--kill-at)
  # The same tests, fixtures and sample medium built as i686, for make test32, which runs them
  # against this setup.exe in a guest with 32-bit Wine (tools/vm32). Built on request only
  # (target test32) and never run by ctest here: this machine cannot run 32-bit Wine.
  get_directory_property(SETUP_SHIPPED_TARGETS BUILDSYSTEM_TARGETS)
  include(cmake/wine-tests.cmake)
  get_directory_property(SETUP_TEST32_TARGETS BUILDSYSTEM_TARGETS)
  list(REMOVE_ITEM SETUP_TEST32_TARGETS ${SETUP_SHIPPED_TARGETS})
  set_target_properties(${SETUP_TEST32_TARGETS} PROPERTIES EXCLUDE_FROM_ALL ON)
  add_custom_target(test32 DEPENDS e2e_scenarios windows_tests demo_walk)
endif()

# setuplst, the publisher's tool, as a console program on the portable core.
add_library(toolcore STATIC ${SETUP_CORE_SOURCES})
target_include_directories(toolcore PUBLIC ${SETUP_SOURCE_DIR}/src ${CMAKE_BINARY_DIR}/generated)
target_compile_options(toolcore PUBLIC -Os -fno-exceptions -fno-rtti ${SETUP_WARNINGS} ${SETUP_CHARSET})
set(SETUPLST_WIN_SOURCES ${SETUPLST_SOURCES})
list(FILTER SETUPLST_WIN_SOURCES EXCLUDE REGEX "_host\\.cpp$")
add_executable(setuplst ${SETUPLST_WIN_SOURCES} ${SETUP_SOURCE_DIR}/src/setuplst/setuplst.rc)
target_include_directories(setuplst PRIVATE ${CMAKE_BINARY_DIR}/generated)
target_link_libraries(setuplst PRIVATE toolcore kernel32)
target_link_options(setuplst PRIVATE -static -s)
