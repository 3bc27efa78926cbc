# Checks that the layers of the program depend one way only:
#   app -> windows -> toolkit, data;  app -> components -> toolkit;
#   data -> toolkit -> data/service;  data/providers -> data/service.
# A file that includes a header of a layer above its own (or beside it) is
# reported and the check fails.
# Usage: cmake -DROOT=<source dir> -P check-layers.cmake

set(faults "")

# forbid(<folder> <prefix>...): no file directly in <folder> includes a
# header whose path starts with one of the prefixes (regular expressions).
function(forbid folder)
    file(GLOB files "${ROOT}/${folder}/*.h" "${ROOT}/${folder}/*.cpp")
    foreach(file IN LISTS files)
        file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
        foreach(line IN LISTS includes)
            foreach(prefix IN LISTS ARGN)
                if(line MATCHES "\"${prefix}")
                    file(RELATIVE_PATH name "${ROOT}" "${file}")
                    list(APPEND faults "${name}: ${line}")
                endif()
            endforeach()
        endforeach()
    endforeach()
    set(faults "${faults}" PARENT_SCOPE)
endfunction()

# "data/[^/]*\"" is the connection manager (data/ itself, not data/service).
forbid(toolkit "app/" "windows/" "components/" "data/[^/\"]*\"")
forbid(components "app/" "windows/" "data/[^/\"]*\"")
forbid(data "app/" "windows/" "components/")
forbid(windows "app/" "components/")
forbid(data/providers "app/" "windows/" "components/" "toolkit/" "data/[^/\"]*\"")
forbid(data/service "app/" "windows/" "components/" "toolkit/" "data/providers/" "data/[^/\"]*\"")

if(faults)
    list(JOIN faults "\n  " text)
    message(FATAL_ERROR "Includes that reach a layer above:\n  ${text}")
endif()
