# FindJNI needs JAVA_HOME on machines where the JDK is reached only through
# /usr/bin alternatives; derive it from the real path of javac when unset.
if(NOT DEFINED ENV{JAVA_HOME} AND NOT JAVA_HOME)
  find_program(OSXNATIVES_JAVAC javac REQUIRED)
  file(REAL_PATH "${OSXNATIVES_JAVAC}" _javac_real)
  get_filename_component(_java_bin "${_javac_real}" DIRECTORY)
  get_filename_component(JAVA_HOME "${_java_bin}" DIRECTORY)
  set(ENV{JAVA_HOME} "${JAVA_HOME}")
endif()
find_package(JNI REQUIRED)
