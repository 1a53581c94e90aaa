#ifndef LAUNCHER_VERSION_H
#define LAUNCHER_VERSION_H
/* The one source of the version and the fixed texts of the build, read by the
   resource script and by the code alike. The unit tests check that the text
   form agrees with the numbers. */
#define LAUNCHER_VERSION_MAJOR 1
#define LAUNCHER_VERSION_MINOR 2
#define LAUNCHER_VERSION_BUILD 0
#define LAUNCHER_VERSION_REVISION 18
#define LAUNCHER_VERSION_TEXT "1.02.0018"

#define LAUNCHER_TITLE "Launcher"
#define LAUNCHER_COPYRIGHT "Copyright © 2026 The Launcher developers"
#define LAUNCHER_FILE_NAME "Launcher.exe"

#endif
