# Fails when a source of the engine, the demo or the aids includes a library the port is written
# on, by whatever name the system's include folder offers it (<SDL2/SDL.h>, <epoxy/gl.h>, ...):
# those headers are reachable without the port's include folders, so only a scan finds them.
#   cmake -DROOT=<project root> -P platform_includes.cmake
set(pattern "^[ \t]*#[ \t]*include[ \t]*[<\"](SDL|epoxy/|GL/|ft2build|freetype|fontconfig/|mpg123|X11/)")
set(found)
foreach(folder engine demo aids)
    file(GLOB_RECURSE sources ${ROOT}/${folder}/*.cpp ${ROOT}/${folder}/*.h)
    foreach(source ${sources})
        file(STRINGS ${source} lines REGEX "${pattern}")
        foreach(line ${lines})
            file(RELATIVE_PATH name ${ROOT} ${source})
            list(APPEND found "${name}: ${line}")
        endforeach()
    endforeach()
endforeach()
if(found)
    list(JOIN found "\n  " text)
    message(FATAL_ERROR "includes of the port's libraries above the port:\n  ${text}")
endif()
