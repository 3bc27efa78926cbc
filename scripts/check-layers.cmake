# Checks that every file directly in FOLDER includes from the program's own
# folders only those in ALLOWED (its own layer and the layers the table in
# layers.cmake lets it use). LAYER_FOLDERS lists every layer's folder, so a
# header is judged by the deepest folder it lies in.
# Usage: cmake -DROOT=<src> -DFOLDER=<folder> -DALLOWED=<a|b> -DLAYER_FOLDERS=<a|b|c>
#              -P check-layers.cmake

cmake_minimum_required(VERSION 3.25)

string(REPLACE "|" ";" ALLOWED "${ALLOWED}")
string(REPLACE "|" ";" LAYER_FOLDERS "${LAYER_FOLDERS}")
set(faults "")
file(GLOB files "${ROOT}/${FOLDER}/*.h" "${ROOT}/${FOLDER}/*.cpp")
foreach(file IN LISTS files)
    file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS includes)
        string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*" "\\1" header "${line}")
        get_filename_component(headerFolder "${header}" DIRECTORY)
        # A header of another layer is named by its path from the root; a
        # generated one (ui_*.h) or a neighbour is named without a folder.
        if(headerFolder STREQUAL "")
            continue()
        endif()
        set(owner "")
        foreach(folder IN LISTS LAYER_FOLDERS)
            if(headerFolder STREQUAL folder)
                set(owner ${folder})
            endif()
        endforeach()
        if(owner STREQUAL "" OR NOT owner IN_LIST ALLOWED)
            file(RELATIVE_PATH name "${ROOT}" "${file}")
            list(APPEND faults "${name}: ${line}")
        endif()
    endforeach()
endforeach()

if(faults)
    list(JOIN faults "\n  " text)
    message(FATAL_ERROR "Includes that the layer table does not allow (scripts/layers.cmake):\n  ${text}")
endif()
