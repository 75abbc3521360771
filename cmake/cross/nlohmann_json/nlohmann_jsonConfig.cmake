# nlohmann-json for the macOS cross build: Debian's headers through a directory
# that holds only a link to /usr/include/nlohmann. Pointing the compiler at
# /usr/include itself would put Linux C library headers before the SDK's.
if(NOT TARGET nlohmann_json::nlohmann_json)
  set(_osxnatives_json_dir ${CMAKE_BINARY_DIR}/cross-include)
  file(MAKE_DIRECTORY ${_osxnatives_json_dir})
  if(NOT EXISTS ${_osxnatives_json_dir}/nlohmann)
    file(CREATE_LINK /usr/include/nlohmann ${_osxnatives_json_dir}/nlohmann SYMBOLIC)
  endif()
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
                        INTERFACE_INCLUDE_DIRECTORIES ${_osxnatives_json_dir})
  unset(_osxnatives_json_dir)
endif()
set(nlohmann_json_FOUND TRUE)
