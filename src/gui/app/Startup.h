#pragma once

#include <QString>

namespace orvane {

// The steps of start-up before the main window, so that the program and the
// start-up benchmark run the very same ones.
class Startup
{
public:
    // Name, display name, desktop entry and window icon. The desktop's own
    // font and size are kept: a fixed size is unreadable on a dense screen.
    static void setApplicationIdentity();
    // Opens a log file for this start in the per-user state folder; the path, or empty.
    static QString openLog();
    // Loads cn.txt when the stored language is "cn" in any case, else en.txt.
    static void loadLanguage();
    // Asks for the capture permission when the program lacks it.
    static void checkCapturePermission();
};

} // namespace orvane
