# Each program's --help text and its manual page come from one help source beside its
# main.cpp (see cmake/help_pages.cpp for the format): the build turns it into
# generated/<program>_help.h and man/<program>.1.gz, installed with the program.
add_executable(corvel_help_pages ${CMAKE_CURRENT_LIST_DIR}/help_pages.cpp)
set_target_properties(corvel_help_pages PROPERTIES AUTOMOC OFF)

function(corvel_help_page program source)
  set(header ${CMAKE_BINARY_DIR}/generated/${program}_help.h)
  set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
  add_custom_command(
    OUTPUT ${header} ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND corvel_help_pages ${source} ${header} ${page} ${PROJECT_VERSION}
    COMMAND gzip -9nf ${page}
    DEPENDS corvel_help_pages ${source}
    COMMENT "Help text and manual page of ${program}"
    VERBATIM)
  target_sources(${program} PRIVATE ${header} ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${program})
endfunction()
