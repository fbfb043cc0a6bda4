# kv_add_man_page(<program> ARGS <help arguments> SUMMARY <one line> SEE_ALSO <pages>)
# Builds <program>.1.gz from the program's own help text (cmake/ManPage.cmake) and installs it
# into man1, so the manual page and the help always say the same thing.
include(GNUInstallDirs)
function(kv_add_man_page program)
    cmake_parse_arguments(PARSE_ARGV 1 MAN "" "ARGS;SUMMARY;SEE_ALSO" "")
    set(page ${CMAKE_CURRENT_BINARY_DIR}/${program}.1)
    add_custom_command(OUTPUT ${page} ${page}.gz
        COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${program}> "-DARGS=${MAN_ARGS}"
            -DNAME=${program} "-DSUMMARY=${MAN_SUMMARY}" -DVERSION=${PROJECT_VERSION}
            "-DSEE_ALSO=${MAN_SEE_ALSO}" -DOUTPUT=${page}
            -P ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
        DEPENDS ${program} ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
        VERBATIM)
    add_custom_target(${program}_man ALL DEPENDS ${page}.gz)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
