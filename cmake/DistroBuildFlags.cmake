# The distribution's hardening flags (dpkg-buildflags, all hardening features on): FORTIFY,
# the stack protector, format checks and an immediately bound, read-only relocation table, as
# Debian builds its own packages. The build type keeps choosing optimisation and debug
# information. _FORTIFY_SOURCE needs an optimising build, so a Debug build goes without them, as
# does a sanitizer build (the sanitizers replace the checked functions).
option(SPYLEROM_DISTRO_FLAGS "Build with the distribution's hardening flags (dpkg-buildflags)" ON)

if(SPYLEROM_DISTRO_FLAGS AND NOT WIN32 AND NOT SPYLEROM_SANITIZE AND NOT CMAKE_BUILD_TYPE STREQUAL "Debug")
    find_program(DPKG_BUILDFLAGS dpkg-buildflags)
    if(DPKG_BUILDFLAGS)
        foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
            execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                                    ${DPKG_BUILDFLAGS} --get ${kind}
                            OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
            if(failed)
                message(FATAL_ERROR "dpkg-buildflags --get ${kind} failed")
            endif()
            separate_arguments(flags UNIX_COMMAND "${flags}")
            # Optimisation, debug information and path maps are the build type's and ccache's.
            list(FILTER flags EXCLUDE REGEX "^(-O.*|-g.*|-ffile-prefix-map=.*|-fdebug-prefix-map=.*)$")
            if(kind STREQUAL "LDFLAGS")
                add_link_options(${flags})
            else()
                add_compile_options(${flags})
            endif()
            set(SPYLEROM_DISTRO_${kind} "${flags}")
        endforeach()
        message(STATUS "Distribution build flags: ${SPYLEROM_DISTRO_CPPFLAGS} ${SPYLEROM_DISTRO_CXXFLAGS} "
                       "${SPYLEROM_DISTRO_LDFLAGS}")
    endif()
endif()
