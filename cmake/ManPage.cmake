# Writes a manual page from a program's own help text, so both say the same thing.
#   cmake -DPROGRAM=<exe> -DARGS="help all" -DNAME=kvctl -DSUMMARY="..." -DOUTPUT=<file.1>
#         -DVERSION=2.0.9 -P ManPage.cmake
separate_arguments(args UNIX_COMMAND "${ARGS}")
execute_process(COMMAND ${PROGRAM} ${args}
    OUTPUT_VARIABLE help
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} ${ARGS} failed: ${result}")
endif()
# roff: backslashes doubled, a leading dot or quote escaped.
string(REPLACE "\\" "\\\\" help "${help}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
string(TOUPPER "${NAME}" upper)
file(WRITE ${OUTPUT}
".TH ${upper} 1 \"\" \"${NAME} ${VERSION}\" \"KV Controller\"\n"
".SH NAME\n${NAME} \\- ${SUMMARY}\n"
".SH DESCRIPTION\n.nf\n${help}.fi\n"
".SH SEE ALSO\n${SEE_ALSO}\n")
