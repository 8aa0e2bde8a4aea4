# Run by CPack before it packs the staged installation: the program loses its .comment section.
file(GLOB_RECURSE programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/lib/tolvane/tolvane")
find_program(objcopy NAMES objcopy REQUIRED)
foreach(program IN LISTS programs)
    execute_process(COMMAND ${objcopy} --remove-section=.comment ${program}
                    COMMAND_ERROR_IS_FATAL ANY)
endforeach()
if(NOT programs)
    message(FATAL_ERROR "no program staged under ${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
endif()
