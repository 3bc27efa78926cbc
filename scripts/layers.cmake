# The layers of the program and what each may use. This one table makes the
# link graph (each layer's target links the targets of the layers it uses)
# and is the rule the include check holds every source file to, so the two
# cannot drift apart.
#
#   layer        folder                        target                  uses
set(VELDMARK_LAYERS
    "service     data/service                  vdata                   -"
    "reader      data/providers/accessreader   veldmark-access-reader  service"
    "providers   data/providers                vproviders              service reader"
    "toolkit     toolkit                       vtoolkit                service"
    "components  components                    vcomponents             toolkit"
    "connection  connection                    vconnection             toolkit"
    "windows     windows                       vwindows                toolkit"
    "app         app                           vapp                    connection windows components providers")

# Splits each row into LAYER_<name>_FOLDER, _TARGET and _USES.
macro(veldmark_read_layers)
    set(VELDMARK_LAYER_NAMES "")
    foreach(row IN LISTS VELDMARK_LAYERS)
        string(REGEX REPLACE "[ \t]+" ";" cells "${row}")
        list(POP_FRONT cells name folder target)
        list(REMOVE_ITEM cells "-")
        list(APPEND VELDMARK_LAYER_NAMES ${name})
        set(LAYER_${name}_FOLDER ${folder})
        set(LAYER_${name}_TARGET ${target})
        set(LAYER_${name}_USES ${cells})
    endforeach()
endmacro()

# The layers `layer` may include from: itself and, through the public links,
# every layer it uses directly or indirectly.
function(veldmark_layer_reach layer out)
    set(reach ${layer})
    set(todo ${LAYER_${layer}_USES})
    while(todo)
        list(POP_FRONT todo next)
        if(NOT next IN_LIST reach)
            list(APPEND reach ${next})
            list(APPEND todo ${LAYER_${next}_USES})
        endif()
    endwhile()
    set(${out} ${reach} PARENT_SCOPE)
endfunction()

# Links every layer's target to the targets of the layers it uses (a
# program is waited for, a library linked) and checks each layer's includes
# before its target builds.
function(veldmark_link_layers)
    veldmark_read_layers()
    foreach(layer IN LISTS VELDMARK_LAYER_NAMES)
        set(target ${LAYER_${layer}_TARGET})
        foreach(used IN LISTS LAYER_${layer}_USES)
            set(usedTarget ${LAYER_${used}_TARGET})
            get_target_property(kind ${usedTarget} TYPE)
            if(kind STREQUAL "EXECUTABLE")
                add_dependencies(${target} ${usedTarget})
            else()
                target_link_libraries(${target} PUBLIC ${usedTarget})
            endif()
        endforeach()
        veldmark_check_layer(${layer})
    endforeach()
endfunction()

function(veldmark_check_layer layer)
    veldmark_layer_reach(${layer} reach)
    set(allowed "")
    set(forbidden "")
    foreach(other IN LISTS VELDMARK_LAYER_NAMES)
        if(other IN_LIST reach)
            list(APPEND allowed ${LAYER_${other}_FOLDER})
        else()
            list(APPEND forbidden ${LAYER_${other}_FOLDER})
        endif()
    endforeach()
    # A list cannot pass through a command line whole: "|" stands for ";".
    list(JOIN allowed "|" allowed)
    list(JOIN forbidden "|" forbidden)
    set(folder ${LAYER_${layer}_FOLDER})
    file(GLOB files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.h ${CMAKE_SOURCE_DIR}/${folder}/*.cpp)
    string(REPLACE "/" "_" stamp "layer-${folder}.stamp")
    set(check ${CMAKE_COMMAND} -DROOT=${CMAKE_SOURCE_DIR} -DFOLDER=${folder}
        -DALLOWED=${allowed} -DLAYER_FOLDERS=${allowed}|${forbidden}
        -P ${CMAKE_SOURCE_DIR}/scripts/check-layers.cmake)
    add_custom_command(OUTPUT ${stamp}
        COMMAND ${check}
        COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
        DEPENDS ${files} ${CMAKE_SOURCE_DIR}/scripts/check-layers.cmake
                ${CMAKE_SOURCE_DIR}/scripts/layers.cmake
        COMMENT "Checking the includes of ${folder} against the layer table" VERBATIM)
    add_custom_target(layer-check-${layer} DEPENDS ${stamp})
    add_dependencies(${LAYER_${layer}_TARGET} layer-check-${layer})
    add_test(NAME layers/${layer} COMMAND ${check})
endfunction()
