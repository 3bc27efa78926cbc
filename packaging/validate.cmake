# Runs desktop-file-validate on the menu entry and appstreamcli on the
# metainfo file; either one's complaint fails the test.
# Usage: cmake -DDIR=<folder with the files> -DID=<application id> -P validate.cmake
foreach(check
        "desktop-file-validate;${DIR}/${ID}.desktop"
        "appstreamcli;validate;--no-net;--explain;${DIR}/${ID}.metainfo.xml")
    list(GET check 0 tool)
    find_program(found_${tool} ${tool})
    if(NOT found_${tool})
        message(FATAL_ERROR "${tool} is missing (scripts/install-deps.sh installs it)")
    endif()
    execute_process(COMMAND ${check} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
    message("${out}")
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "${tool} failed")
    endif()
endforeach()

# The menu entry hands a file to the program and names the types it opens,
# so a file manager offers it for them.
file(READ "${DIR}/${ID}.desktop" entry)
foreach(needed "Exec=veldmark %f" "application/vnd.sqlite3" "application/x-sqlite3"
               "application/x-msaccess" "application/vnd.ms-access")
    string(FIND "${entry}" "${needed}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "${ID}.desktop lacks ${needed}")
    endif()
endforeach()
