// Native methods of the environment checks: VPN, screen sharing, USB mice and
// keyboards.
#include <jni.h>

#include "bridge/boundary.h"
#include "checks/log_peripherals.h"
#include "checks/screeh_sharing.h"
#include "checks/vpn_check.h"

using osxnatives::LogPeripherals;
using osxnatives::ScreehSharing;
using osxnatives::VPNCheck;
using osxnatives::bridge::Guarded;

extern "C" {

// Integer results reach Java cut to their low 32 bits.

JNIEXPORT jint JNICALL Java_com_qor_kestrelgate_osx_natives_OSXNativeProvider_checkVpn(
    JNIEnv* /*env*/, jobject /*receiver*/) {
  return Guarded("checkVpn", jint{0}, [] { return static_cast<jint>(VPNCheck().checkVpn()); });
}

JNIEXPORT jint JNICALL Java_com_qor_kestrelgate_osx_natives_OSXNativeProvider_checkScreenSharing(
    JNIEnv* /*env*/, jobject /*receiver*/) {
  return Guarded("checkScreenSharing", jint{0},
                 [] { return static_cast<jint>(ScreehSharing().checkScreenSharing()); });
}

JNIEXPORT jint JNICALL Java_com_qor_kestrelgate_osx_natives_OSXNativeProvider_getUsbMouseCount(
    JNIEnv* /*env*/, jobject /*receiver*/) {
  return Guarded("getUsbMouseCount", jint{0}, [] {
    return static_cast<jint>(LogPeripherals().getConnectedUSBMouseDevices("mouse"));
  });
}

JNIEXPORT jint JNICALL Java_com_qor_kestrelgate_osx_natives_OSXNativeProvider_getUsbKeyboardCount(
    JNIEnv* /*env*/, jobject /*receiver*/) {
  return Guarded("getUsbKeyboardCount", jint{0}, [] {
    return static_cast<jint>(LogPeripherals().getConnectedUSBMouseDevices("keyboard"));
  });
}

}  // extern "C"
