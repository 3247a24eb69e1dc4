# The sample product that make demo installs: its program and its versioned library are built
# here into ${CMAKE_BINARY_DIR}/medium, next to the data files and a SETUP.LST that names their
# figures: that folder is the whole medium, which tools/demo copies.
set(MEDIUM_SOURCE ${CMAKE_CURRENT_LIST_DIR})
set(MEDIUM_OUT ${CMAKE_BINARY_DIR}/medium)

add_executable(medium_program WIN32 ${MEDIUM_SOURCE}/quellen/sprachtrainer.cpp)
set_target_properties(medium_program PROPERTIES OUTPUT_NAME Sprachtrainer RUNTIME_OUTPUT_DIRECTORY ${MEDIUM_OUT})
target_compile_options(medium_program PRIVATE -Os ${SETUP_WARNINGS} ${SETUP_CHARSET})
target_link_options(medium_program PRIVATE -static -s -mwindows)

# The library goes through the fixture mechanism (a version resource of 1.2.0.5) and is copied
# onto the medium.
setup_fixture_dll(Woerter VERSION 1 2 0 5 SOURCES ${MEDIUM_SOURCE}/quellen/woerter.cpp)

# SETUP.LST: the template with Windows line ends, its figures (size, date, version of every
# file) filled in by setuplst from the files on the medium. The Makefile builds the host tool
# first and names it in SETUPLST_TOOL; without it this tree's own tool runs under Wine.
configure_file(${MEDIUM_SOURCE}/SETUP.LST.in ${CMAKE_BINARY_DIR}/medium-template/SETUP.LST @ONLY NEWLINE_STYLE CRLF)
if(SETUPLST_TOOL)
  set(MEDIUM_FILL ${SETUPLST_TOOL} fill ${MEDIUM_OUT})
  set(MEDIUM_FILL_DEPENDS ${SETUPLST_TOOL})
else()
  to_wine_path(MEDIUM_OUT_WINE ${MEDIUM_OUT})
  set(MEDIUM_FILL setuplst fill ${MEDIUM_OUT_WINE})
  set(MEDIUM_FILL_DEPENDS setuplst)
endif()

# The product data file of the dictionary: version 1, with two issues of which one is registered.
setup_product_data(${MEDIUM_OUT}/Woerterbuch.hlp --version 1 --id 5A7C0E21-9B3D-4f60-8E11-2C4B6D8F0A13
  --issue 0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0:1 --issue 1F2E3D4C-5B6A-7988-97A6-B5C4D3E2F100:0)

add_custom_command(OUTPUT ${MEDIUM_OUT}/SETUP.LST ${MEDIUM_OUT}/Woerter.dll
  COMMAND ${CMAKE_COMMAND} -E make_directory ${MEDIUM_OUT}
  COMMAND ${CMAKE_COMMAND} -E copy ${SETUP_FIXTURES_OUT}/Woerter.dll ${MEDIUM_OUT}/Woerter.dll
  COMMAND ${CMAKE_COMMAND} -E copy ${MEDIUM_SOURCE}/Hilfe.txt ${MEDIUM_SOURCE}/Woerter.dat
          ${MEDIUM_SOURCE}/Kurzliste.dat ${MEDIUM_OUT}
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_BINARY_DIR}/medium-template/SETUP.LST ${MEDIUM_OUT}/SETUP.LST
  COMMAND ${MEDIUM_FILL}
  DEPENDS medium_program fixture_Woerter product_data_Woerterbuch.hlp ${CMAKE_BINARY_DIR}/medium-template/SETUP.LST ${MEDIUM_FILL_DEPENDS}
          ${MEDIUM_SOURCE}/Hilfe.txt ${MEDIUM_SOURCE}/Woerter.dat ${MEDIUM_SOURCE}/Kurzliste.dat
  COMMENT "Sample medium: SETUP.LST with the figures of its files (setuplst fill)")
add_custom_target(medium_files ALL DEPENDS ${MEDIUM_OUT}/SETUP.LST)
