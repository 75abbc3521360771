package com.qor.kestrelgate.osx.natives.testkit;

/** A child that never ends by itself. */
public final class BlockingChild {
  private BlockingChild() {}

  /**
   * Waits for ever.
   *
   * @param args unused
   * @throws InterruptedException never, in practice
   */
  public static void main(String[] args) throws InterruptedException {
    Object forever = new Object();
    synchronized (forever) {
      while (true) {
        forever.wait();
      }
    }
  }
}
