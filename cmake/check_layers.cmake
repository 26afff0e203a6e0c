# Fails the build when a source file under SRC includes a floor above its own, or an operating
# system's header outside the folders that speak to the system: platform/, a floor's posix/ and
# win32/ implementation folders, the toolkit folders (ui/, win32ui/) and gui/.
# Run as: cmake -DSRC=<src folder> -P check_layers.cmake

cmake_minimum_required(VERSION 3.25)

# What each floor may include, its own folder first; the floors below come before the ones above.
set(allowed_platform platform)
set(allowed_frame frame platform)
set(allowed_fill fill frame platform)
set(allowed_printing printing frame platform)
set(allowed_ftp ftp frame platform)
set(allowed_sysinfo sysinfo printing frame platform)
set(allowed_gui gui frame platform)
set(allowed_mainwindow mainwindow sysinfo ftp printing fill gui frame platform)
set(allowed_cli cli fill frame platform)

set(os_header
    "<((windows|shellapi|shlobj|shlwapi|commctrl|commdlg|wininet|winioctl|winternl|io|malloc|unistd|fcntl|pthread|dirent|pwd|grp|dlfcn|poll|termios|mntent|signal|aclapi|sddl|iphlpapi|winsock2|ws2tcpip|wincrypt|objbase|wincodec)\\.h|(sys|linux|xfs|libmount|blkid|arpa|netinet)/)"
)

file(GLOB_RECURSE sources RELATIVE "${SRC}" "${SRC}/*.h" "${SRC}/*.cpp")
set(faults)
foreach(source ${sources})
    string(REGEX MATCH "^[^/]+" floor "${source}")
    if(NOT DEFINED allowed_${floor})
        continue() # a file of src/ itself
    endif()
    set(toolkit FALSE)
    if(source MATCHES "/(ui|win32ui)/")
        set(toolkit TRUE)
    endif()
    set(speaks_to_system ${toolkit})
    if(floor STREQUAL "platform" OR floor STREQUAL "gui" OR source MATCHES "/(posix|win32)/")
        set(speaks_to_system TRUE)
    endif()
    file(STRINGS "${SRC}/${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line ${includes})
        if(line MATCHES "#[ \t]*include[ \t]*\"([a-z0-9_]+)/")
            set(target "${CMAKE_MATCH_1}")
            if(DEFINED allowed_${target} AND NOT target IN_LIST allowed_${floor}
               AND NOT (toolkit AND target STREQUAL "gui"))
                list(APPEND faults "${source}: ${floor} includes ${target}, a floor above it or beside it")
            endif()
        elseif(NOT speaks_to_system AND line MATCHES "#[ \t]*include[ \t]*${os_header}")
            list(APPEND faults "${source}: a system header (${CMAKE_MATCH_1}) outside platform/")
        endif()
    endforeach()
endforeach()

if(faults)
    list(JOIN faults "\n  " text)
    message(FATAL_ERROR "The floors run one way (README, Layout):\n  ${text}")
endif()
