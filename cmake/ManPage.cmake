# Writes a manual page from a program's own help text, so both say the same thing, and its
# compressed copy <file.1>.gz (the one installed).
#   cmake -DPROGRAM=<exe> -DARGS="help all" -DNAME=kvctl -DSUMMARY="..." -DOUTPUT=<file.1>
#         -DVERSION=2.0.9 -P ManPage.cmake
separate_arguments(args UNIX_COMMAND "${ARGS}")
execute_process(COMMAND ${PROGRAM} ${args}
    OUTPUT_VARIABLE help
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} ${ARGS} failed: ${result}")
endif()
# A help text that names the program by the path it was run from names it by its name.
string(REPLACE "${PROGRAM}" "${NAME}" help "${help}")
# roff: backslashes doubled, a leading dot or quote escaped.
string(REPLACE "\\" "\\\\" help "${help}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
string(TOUPPER "${NAME}" upper)
file(WRITE ${OUTPUT}
".TH ${upper} 1 \"\" \"${NAME} ${VERSION}\" \"KV Controller\"\n"
".SH NAME\n${NAME} \\- ${SUMMARY}\n"
".SH DESCRIPTION\n.nf\n${help}.fi\n"
".SH SEE ALSO\n${SEE_ALSO}\n")
# -n leaves the name and time out of the header, so the same page gives the same bytes.
execute_process(COMMAND gzip -9 -n -c ${OUTPUT}
    OUTPUT_FILE ${OUTPUT}.gz
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "gzip ${OUTPUT} failed: ${result}")
endif()
