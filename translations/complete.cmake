# cmake -P complete.cmake : fails when a catalogue lacks a translation or holds one the sources no longer
# use, so that a new English text cannot ship untranslated. Given with -D:
#   TS          a program catalogue (.ts), checked against the sources through lupdate, then by lrelease
#   SOURCES_FILE  the program's sources and interface file, a path a line
#   LUPDATE LRELEASE
#   PO          a gettext catalogue, checked against POT, the template made from the sources now
#   POT MSGFMT MSGCMP MSGATTRIB
#   STAMP       written when the catalogue is complete
function(refuse why)
    message(FATAL_ERROR "${why}\nThe target update_translations brings the catalogues up to date with the sources; "
                        "then translate what it marks unfinished.")
endfunction()

if(TS)
    file(STRINGS ${SOURCES_FILE} SOURCES)
    get_filename_component(name ${TS} NAME)
    set(copy ${STAMP}.ts)
    configure_file(${TS} ${copy} COPYONLY)
    execute_process(COMMAND ${LUPDATE} -source-language en -locations none -no-obsolete ${SOURCES} -ts ${copy}
                    OUTPUT_VARIABLE updated ERROR_QUIET RESULT_VARIABLE status)
    string(REGEX MATCH "\\(([0-9]+) new" new "${updated}")
    if(NOT status EQUAL 0 OR NOT new OR NOT CMAKE_MATCH_1 EQUAL 0 OR updated MATCHES "Removed")
        refuse("${name} is not up to date with the sources (new texts, or obsolete ones):\n${updated}")
    endif()
    execute_process(COMMAND ${LRELEASE} ${copy} -qm ${STAMP}.qm OUTPUT_VARIABLE released RESULT_VARIABLE status)
    string(REGEX MATCH "\\(([0-9]+) finished and ([0-9]+) unfinished\\)" counts "${released}")
    if(NOT status EQUAL 0 OR NOT counts OR NOT CMAKE_MATCH_2 EQUAL 0 OR released MATCHES "Ignored")
        refuse("${name} has unfinished or untranslated entries:\n${released}")
    endif()
    file(REMOVE ${copy} ${STAMP}.qm)
elseif(PO)
    get_filename_component(name ${PO} DIRECTORY)
    get_filename_component(name ${name} NAME)
    get_filename_component(language ${PO} NAME_WE)
    set(name "${name}/${language}.po")
    execute_process(COMMAND ${MSGFMT} --check --statistics --output-file=/dev/null ${PO}
                    ERROR_VARIABLE statistics RESULT_VARIABLE status)
    if(NOT status EQUAL 0 OR statistics MATCHES "fuzzy|untranslated")
        refuse("${name} has unfinished entries: ${statistics}")
    endif()
    # Each text of the sources translated, and no text that the sources no longer have.
    execute_process(COMMAND ${MSGCMP} ${PO} ${POT} ERROR_VARIABLE missing RESULT_VARIABLE lacks)
    execute_process(COMMAND ${MSGCMP} --use-untranslated ${POT} ${PO} ERROR_VARIABLE extra RESULT_VARIABLE stale)
    execute_process(COMMAND ${MSGATTRIB} --only-obsolete ${PO} OUTPUT_VARIABLE obsolete)
    if(obsolete)
        set(obsolete "It keeps obsolete entries (#~).")
    endif()
    if(NOT lacks EQUAL 0 OR NOT stale EQUAL 0 OR obsolete)
        refuse("${name} is not up to date with the sources:\n${missing}${extra}${obsolete}")
    endif()
endif()
file(TOUCH ${STAMP})
