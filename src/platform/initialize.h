// Start-up of the platform layer.
//
// Each backend has one registration function that makes its services the
// process-wide defaults. A build combines them in `Initialize()`, defined once
// per program: the macOS library registers posix/ and macos/; the Linux
// library registers posix/, linux/ and the simulated desktop (sim/) for what
// Linux does not have; test programs layer sim/ over whichever real backend
// the build has. Registering again replaces the earlier default.
#ifndef OSXNATIVES_PLATFORM_INITIALIZE_H_
#define OSXNATIVES_PLATFORM_INITIALIZE_H_

namespace osxnatives::platform {

// Registers every default this program uses. Called once, through
// `EnsureInitialized()`, by the bridge at load or by the first `Get` of a
// service without a default. Defined by the program's composition file.
void Initialize();

// posix/: the settings-folder lock, kill and getpid, sleeping, whole-file
// operations.
void RegisterPosixServices();

// macos/ or linux/, whichever this build compiles: the operating system's own
// services.
void RegisterNativeServices();

// sim/: the simulated desktop. Reads its scenario and journal settings from the
// environment on first use.
void RegisterSimulatedDesktop();

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_INITIALIZE_H_
