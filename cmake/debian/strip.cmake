# Run by CPack on the staged files: strips the program as Debian's own tools do, with the
# compiler's .comment and .note sections, which a plain strip keeps.
execute_process(COMMAND strip --remove-section=.comment --remove-section=.note
                        ${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/bin/varrow
                COMMAND_ERROR_IS_FATAL ANY)
