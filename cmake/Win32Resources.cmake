# spylerom_add_win32_resources(<target> [GUI] [DESCRIPTION text])
# Gives a Windows executable the resources of resources/win32/spylerom.rc.in: the program icon,
# the windows' pictures as RCDATA (SPYLEROM_EMBLEM, SOLVAREK_LOGO), the manifest (common controls
# v6, per-monitor DPI awareness) and VERSIONINFO of the project's version. GUI makes it a window
# program (no console). DESCRIPTION is the version's FileDescription (ASCII).
set(SPYLEROM_WIN32_RESOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}/../resources/win32)
cmake_path(NORMAL_PATH SPYLEROM_WIN32_RESOURCE_DIR)

function(spylerom_add_win32_resources target)
    cmake_parse_arguments(ARG "GUI" "DESCRIPTION" "" ${ARGN})
    if(NOT WIN32)
        return()
    endif()
    set(SPYLEROM_RC_DIR ${SPYLEROM_WIN32_RESOURCE_DIR})
    set(SPYLEROM_RC_RESOURCES ${PROJECT_SOURCE_DIR}/resources)
    set(SPYLEROM_RC_NAME ${target})
    get_target_property(output_name ${target} OUTPUT_NAME)
    if(NOT output_name)
        set(output_name ${target})
    endif()
    set(SPYLEROM_RC_FILE ${output_name}.exe)
    set(SPYLEROM_RC_DESCRIPTION "Solvarek Spylerom")
    if(ARG_DESCRIPTION)
        set(SPYLEROM_RC_DESCRIPTION "${ARG_DESCRIPTION}")
    endif()
    # FILEVERSION takes four numbers: 2.07 is 2,7,0,0 (no leading zero, which rc reads as octal).
    math(EXPR major "${PROJECT_VERSION_MAJOR} + 0")
    math(EXPR minor "${PROJECT_VERSION_MINOR} + 0")
    set(SPYLEROM_RC_VERSION "${major},${minor},0,0")

    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.rc)
    configure_file(${SPYLEROM_RC_DIR}/spylerom.rc.in ${rc} @ONLY)
    # windres is not scanned for the files a script takes in; a changed picture rebuilds it.
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS
        "${SPYLEROM_RC_DIR}/spylerom.ico;${SPYLEROM_RC_DIR}/spylerom.manifest;${SPYLEROM_RC_RESOURCES}/spylerom-emblem.jpg;${SPYLEROM_RC_RESOURCES}/solvarek-logo.jpg")
    target_sources(${target} PRIVATE ${rc})
    if(ARG_GUI)
        set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE TRUE)
    endif()
endfunction()
