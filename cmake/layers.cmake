# One static library per layer of the system. Each layer exposes only its own
# folder as an include root (a link in the build tree named after the folder),
# and sees the folders of the layers it links, so an include that reaches up a
# layer does not compile:
#
#   bridge -> controller -> process, events, input, checks, utility -> platform -> common
#
# osxnatives_layer(<folder> SOURCES <files...> DEPENDS <targets...>) defines
# osxnatives_<folder> from src/<folder>.
function(osxnatives_layer folder)
  cmake_parse_arguments(ARG "" "TARGET" "SOURCES;DEPENDS" ${ARGN})
  set(target osxnatives_${folder})
  if(ARG_TARGET)
    set(target ${ARG_TARGET})
  endif()
  add_library(${target} STATIC ${ARG_SOURCES})
  osxnatives_include_root(${target} ${folder})
  target_compile_options(${target} PRIVATE ${OSXNATIVES_WARNINGS})
  target_link_libraries(${target} PUBLIC ${ARG_DEPENDS})
endfunction()

# Makes src/<folder> includable as "<folder>/..." by `target` and by whatever
# links it.
function(osxnatives_include_root target folder)
  set(root ${PROJECT_BINARY_DIR}/layers/${folder})
  if(NOT EXISTS ${root}/${folder})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${folder} ${root}/${folder} SYMBOLIC)
  endif()
  target_include_directories(${target} PUBLIC ${root})
endfunction()
