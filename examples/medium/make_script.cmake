# Writes the sample medium's SETUP.LST from its template with the sizes of the built and the
# shipped files: cmake -DTEMPLATE=... -DBUILT=... -DSHIPPED=... -DOUTPUT=... -P make_script.cmake
file(SIZE ${BUILT}/Sprachtrainer.exe SIZE_PROGRAM)
file(SIZE ${BUILT}/Woerter.dll SIZE_LIBRARY)
file(SIZE ${BUILT}/Woerterbuch.hlp SIZE_DATA)
file(SIZE ${SHIPPED}/Hilfe.txt SIZE_HELP)
file(SIZE ${SHIPPED}/Woerter.dat SIZE_WORDS)
file(SIZE ${SHIPPED}/Kurzliste.dat SIZE_SHORT)
configure_file(${TEMPLATE} ${OUTPUT} @ONLY NEWLINE_STYLE CRLF)
