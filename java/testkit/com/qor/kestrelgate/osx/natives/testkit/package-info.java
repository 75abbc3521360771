/**
 * A test kit for a browser's own tests on Linux: stage a simulated Mac desktop with a typed
 * {@link com.qor.kestrelgate.osx.natives.testkit.Scenario}, run the browser's code against the
 * real libOSXNatives in a child JVM with {@link
 * com.qor.kestrelgate.osx.natives.testkit.SimulatedDesktop}, and check what it did to the desktop
 * in the typed {@link com.qor.kestrelgate.osx.natives.testkit.Journal}.
 */
package com.qor.kestrelgate.osx.natives.testkit;
