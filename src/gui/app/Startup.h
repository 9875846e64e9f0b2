#pragma once

#include <QString>

// The steps of start-up before the main window, so that the program and the
// start-up benchmark run the very same ones.
class Startup
{
public:
    // The application's font: the family's default at 9 points.
    static void setApplicationFont();
    // Opens today's log file below the program, or below the per-user data
    // directory where the program's own is not writable; the path, or empty.
    static QString openLog();
    // Loads cn.txt when the stored language is "cn" in any case, else en.txt.
    static void loadLanguage();
    // Asks for the capture permission when the program lacks it.
    static void checkCapturePermission();

    static QString logDirectory();
    static QString languageDirectory();
};
