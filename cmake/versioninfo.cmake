# nodeconfig_version_info(TARGET DESCRIPTION): gives a Windows executable the
# version information Windows shows in its properties. Does nothing elsewhere.
function(nodeconfig_version_info target description)
    if(NOT WIN32)
        return()
    endif()
    set(NODECONFIG_RC_NAME ${target})
    set(NODECONFIG_RC_DESCRIPTION "${description}")
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}-version.rc)
    configure_file(${PROJECT_SOURCE_DIR}/resources/versioninfo.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
endfunction()
