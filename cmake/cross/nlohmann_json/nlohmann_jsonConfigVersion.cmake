# The version of Debian's nlohmann-json package, which the cross build uses.
include(/usr/share/cmake/nlohmann_json/nlohmann_jsonConfigVersion.cmake)
