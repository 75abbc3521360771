# Cross-compiles libOSXNatives for one macOS slice from Linux with Debian's
# clang-19, ld64.lld-19 and llvm-19 against an Apple SDK. One build directory
# per architecture; scripts/macos-cross.sh joins the slices with llvm-lipo.
#
#   cmake -S . -B build-macos-arm64 \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/macos-cross-toolchain.cmake \
#     -DOSXNATIVES_MACOS_ARCH=arm64 -DOSXNATIVES_MACOS_MIN=11.0 \
#     -DOSXNATIVES_MACOS_SDK=/opt/macos-sdk/MacOSX11.3.sdk
#
# Cache variables: OSXNATIVES_MACOS_ARCH (arm64 or x86_64), OSXNATIVES_MACOS_MIN
# (deployment target), OSXNATIVES_MACOS_SDK (SDK root), OSXNATIVES_LLVM_SUFFIX
# (-19: the suffix of the Debian tool names).

set(OSXNATIVES_MACOS_ARCH arm64 CACHE STRING "Architecture of this slice: arm64 or x86_64")
set(OSXNATIVES_MACOS_MIN 11.0 CACHE STRING "Oldest macOS this slice runs on")
set(OSXNATIVES_MACOS_SDK /opt/macos-sdk/MacOSX11.3.sdk CACHE PATH "Root of the macOS SDK")
set(OSXNATIVES_LLVM_SUFFIX -19 CACHE STRING "Suffix of the clang/lld/llvm tool names")
# The variables reach try_compile projects too, which re-read this file.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES OSXNATIVES_MACOS_ARCH OSXNATIVES_MACOS_MIN
     OSXNATIVES_MACOS_SDK OSXNATIVES_LLVM_SUFFIX)

if(NOT IS_DIRECTORY "${OSXNATIVES_MACOS_SDK}/System/Library/Frameworks")
  message(FATAL_ERROR "No macOS SDK at ${OSXNATIVES_MACOS_SDK}")
endif()

set(CMAKE_SYSTEM_NAME Darwin)
if(OSXNATIVES_MACOS_ARCH STREQUAL "arm64")
  set(CMAKE_SYSTEM_PROCESSOR arm64)
elseif(OSXNATIVES_MACOS_ARCH STREQUAL "x86_64")
  set(CMAKE_SYSTEM_PROCESSOR x86_64)
else()
  message(FATAL_ERROR "OSXNATIVES_MACOS_ARCH must be arm64 or x86_64, not ${OSXNATIVES_MACOS_ARCH}")
endif()
set(CMAKE_OSX_ARCHITECTURES ${OSXNATIVES_MACOS_ARCH} CACHE STRING "" FORCE)
set(CMAKE_OSX_DEPLOYMENT_TARGET ${OSXNATIVES_MACOS_MIN} CACHE STRING "" FORCE)
set(CMAKE_OSX_SYSROOT ${OSXNATIVES_MACOS_SDK} CACHE PATH "" FORCE)

set(_triple ${OSXNATIVES_MACOS_ARCH}-apple-macos${OSXNATIVES_MACOS_MIN})
foreach(lang C CXX OBJC OBJCXX)
  set(CMAKE_${lang}_COMPILER_TARGET ${_triple})
endforeach()
find_program(OSXNATIVES_CLANG clang${OSXNATIVES_LLVM_SUFFIX} REQUIRED)
find_program(OSXNATIVES_CLANGXX clang++${OSXNATIVES_LLVM_SUFFIX} REQUIRED)
set(CMAKE_C_COMPILER ${OSXNATIVES_CLANG})
set(CMAKE_CXX_COMPILER ${OSXNATIVES_CLANGXX})
set(CMAKE_OBJC_COMPILER ${OSXNATIVES_CLANG})
set(CMAKE_OBJCXX_COMPILER ${OSXNATIVES_CLANGXX})
foreach(tool ar ranlib install-name-tool)
  string(TOUPPER ${tool} _var)
  string(REPLACE "-" "_" _var ${_var})
  find_program(CMAKE_${_var} llvm-${tool}${OSXNATIVES_LLVM_SUFFIX} REQUIRED)
endforeach()

# Apple's C++ library from the SDK (CMake adds -isysroot, -arch and the
# deployment target from the CMAKE_OSX_* variables); Debian's ld64.lld links.
foreach(lang CXX OBJCXX)
  set(CMAKE_${lang}_FLAGS_INIT "-stdlib=libc++")
endforeach()
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-fuse-ld=lld -stdlib=libc++")
endforeach()

# Look for libraries and headers in the SDK only, for programs on the host.
set(CMAKE_FIND_ROOT_PATH ${OSXNATIVES_MACOS_SDK})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The two host headers the slices share with Linux, each through a directory
# that holds nothing else, so no Linux C library header can shadow the SDK's.
# jni.h and jni_md.h declare the same types for every LP64 target.
set(OSXNATIVES_CROSS_DIR ${CMAKE_CURRENT_LIST_DIR}/cross)
if(NOT DEFINED ENV{JAVA_HOME})
  find_program(_javac javac NO_CMAKE_FIND_ROOT_PATH)
  if(_javac)
    file(REAL_PATH "${_javac}" _javac)
    get_filename_component(_java_home "${_javac}" DIRECTORY)
    get_filename_component(_java_home "${_java_home}" DIRECTORY)
  endif()
else()
  set(_java_home $ENV{JAVA_HOME})
endif()
if(_java_home)
  set(JAVA_INCLUDE_PATH ${_java_home}/include CACHE PATH "")
  set(JAVA_INCLUDE_PATH2 ${_java_home}/include/linux CACHE PATH "")
  set(JAVA_AWT_INCLUDE_PATH ${_java_home}/include CACHE PATH "")
  # FindJNI insists on finding the JVM and AWT libraries; the library never
  # links either (the JVM that loads it provides the JNI functions).
  set(JAVA_JVM_LIBRARY ${_java_home}/lib/server/libjvm.so CACHE FILEPATH "")
  set(JAVA_AWT_LIBRARY ${_java_home}/lib/libjawt.so CACHE FILEPATH "")
endif()
# nlohmann-json is header only: a config package of our own that points at a
# directory holding just a link to /usr/include/nlohmann. GoogleTest, for the
# test programs, builds from Debian's sources.
set(nlohmann_json_DIR ${OSXNATIVES_CROSS_DIR}/nlohmann_json CACHE PATH "" FORCE)
set(GTest_DIR ${OSXNATIVES_CROSS_DIR}/GTest CACHE PATH "" FORCE)

# The build compiles cmake/cross/*.mm into the library (see cmake/macos.cmake).
set(OSXNATIVES_MACOS_CROSS ON)
