# What the build ships carries one date, the sources' own (the last commit's
# time, or SOURCE_DATE_EPOCH), so that a build of a commit is the same bytes
# wherever and whenever it runs. The linkers write the clock's time into a
# module (CeGCC's ld cannot be told otherwise); packaging/reproducible/
# fixed_date.py sets every time stamp to the sources' date after linking and
# makes the checksum good again. The date is looked at on every build and
# kept in a file, whose change (a new commit) links the modules again.
find_program(PYTHON3 python3 REQUIRED)
set(MESOLUNE_FIXED_DATE ${PYTHON3} ${CMAKE_SOURCE_DIR}/packaging/reproducible/fixed_date.py)
set(MESOLUNE_SOURCE_DATE_FILE ${CMAKE_BINARY_DIR}/source-date)
add_custom_target(source_date
    COMMAND ${MESOLUNE_FIXED_DATE} stamp ${CMAKE_SOURCE_DIR} ${MESOLUNE_SOURCE_DATE_FILE}
    BYPRODUCTS ${MESOLUNE_SOURCE_DATE_FILE}
    VERBATIM)

function(mesolune_fixed_date target)
    add_dependencies(${target} source_date)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${MESOLUNE_SOURCE_DATE_FILE})
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${MESOLUNE_FIXED_DATE} pe ${CMAKE_SOURCE_DIR} $<TARGET_FILE:${target}>
        VERBATIM)
endfunction()
