# The Mach-O link of libOSXNatives: included by the top-level CMakeLists.txt on
# APPLE (a Mac or the cross build), once the OSXNatives and
# osxnatives_platform_macos targets exist.

# The backend's start-up object, compiled as Objective-C++, goes into every
# program that links osxnatives_backend.
enable_language(OBJCXX)

# Exactly the JNI entry points and main leave the library; every symbol must
# resolve at link time; the host application finds the library through its
# run-path search list (Contents/Frameworks or the JVM's library path).
set(OSXNATIVES_MACOS_EXPORTS ${PROJECT_SOURCE_DIR}/src/bridge/exports.macos)
target_link_options(OSXNatives PRIVATE -Wl,-exported_symbols_list,${OSXNATIVES_MACOS_EXPORTS}
                    -Wl,-undefined,error)
set_target_properties(OSXNatives PROPERTIES LINK_DEPENDS ${OSXNATIVES_MACOS_EXPORTS}
                                            INSTALL_NAME_DIR "@rpath" BUILD_WITH_INSTALL_NAME_DIR ON)

# Apple's toolchain brings the run-time support of `@available` in its
# compiler-rt; Debian's clang has none for Darwin, so the cross build links a
# hidden stand-in wherever the macOS backend goes.
if(OSXNATIVES_MACOS_CROSS)
  add_library(osxnatives_cross_runtime STATIC ${PROJECT_SOURCE_DIR}/cmake/cross/platform_version.mm)
  target_compile_options(osxnatives_cross_runtime PRIVATE ${OSXNATIVES_WARNINGS} -fobjc-arc)
  target_link_libraries(osxnatives_cross_runtime PUBLIC "-framework Foundation")
  target_link_libraries(osxnatives_platform_macos PUBLIC osxnatives_cross_runtime)
endif()
