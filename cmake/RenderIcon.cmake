# The program's vector drawing rendered as a square PNG, at build time, on the build's host.
find_program(TOLVANE_RSVG_CONVERT rsvg-convert REQUIRED)
set(TOLVANE_VECTOR_ICON ${PROJECT_SOURCE_DIR}/src/ui/qt/resources/tolvane.svg)

# tolvane_render_icon(SIZE OUTPUT): a rule that makes OUTPUT, SIZE pixels a side.
function(tolvane_render_icon size output)
    get_filename_component(folder ${output} DIRECTORY)
    add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
        COMMAND ${TOLVANE_RSVG_CONVERT} --width ${size} --height ${size} --output ${output}
                ${TOLVANE_VECTOR_ICON}
        DEPENDS ${TOLVANE_VECTOR_ICON}
        VERBATIM)
endfunction()
