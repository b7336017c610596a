# A test CAB: the setup document, this build's calendar module as
# mesolune.001 and the test setup library as mesolune.999, at output
# (packed with compression: --zip, or empty for none). With SETUP_FILE, the
# CAB holds a setup file mesolune.000 too, written from the document with
# the writer's arguments that follow (the processor, the versions).
function(add_test_cab output document compression)
    cmake_parse_arguments(C "" "" "SETUP_FILE" ${ARGN})
    get_filename_component(name ${output} NAME_WE)
    set(stage ${CMAKE_CURRENT_BINARY_DIR}/cabs/${name})
    set(members ${stage}/_setup.xml ${stage}/mesolune.001 ${stage}/mesolune.999)
    set(setup_file "")
    if(C_SETUP_FILE)
        set(writer ${CMAKE_SOURCE_DIR}/packaging/cab/make_setup_file.py)
        set(setup_file COMMAND python3 ${writer} ${document} ${stage}/mesolune.000 --provider Test ${C_SETUP_FILE})
        list(PREPEND members ${stage}/mesolune.000)
    endif()
    add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}
        COMMAND ${CMAKE_COMMAND} -E copy ${document} ${stage}/_setup.xml
        ${setup_file}
        COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:mesolune> ${stage}/mesolune.001
        COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:test_setup> ${stage}/mesolune.999
        COMMAND ${CMAKE_COMMAND} -E rm -f ${output}
        COMMAND ${GCAB} --create ${compression} --nopath ${output} ${members}
        DEPENDS ${document} mesolune test_setup cab
        VERBATIM)
endfunction()
