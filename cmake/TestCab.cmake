# A test CAB: the setup document, this build's calendar module as
# mesolune.001 and the test setup library as mesolune.999, at output
# (packed with compression: --zip, or empty for none).
function(add_test_cab output document compression)
    get_filename_component(name ${output} NAME_WE)
    set(stage ${CMAKE_CURRENT_BINARY_DIR}/cabs/${name})
    add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}
        COMMAND ${CMAKE_COMMAND} -E copy ${document} ${stage}/_setup.xml
        COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:mesolune> ${stage}/mesolune.001
        COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:test_setup> ${stage}/mesolune.999
        COMMAND ${CMAKE_COMMAND} -E rm -f ${output}
        COMMAND ${GCAB} --create ${compression} --nopath ${output} ${stage}/_setup.xml ${stage}/mesolune.001
            ${stage}/mesolune.999
        DEPENDS ${document} mesolune test_setup cab
        VERBATIM)
endfunction()
