#pragma once

#include <QString>

namespace orvane {

// Where the program keeps its files, after the XDG base directories: the
// settings in the configuration folder, the logs in the state folder, the
// language tables in the installed data folder.
class AppPaths
{
public:
    // ~/.config/orvane: holds configure.ini; created when missing. The first
    // call in a process moves a configure.ini left by earlier versions here.
    static QString configureDirectory();
    // ~/.local/state/orvane/log; created when missing.
    static QString logDirectory();
    // The language tables: beside the program when run from the build tree,
    // else the data folder of the installation the program belongs to, else
    // the first orvane/language in the XDG data folders.
    static QString languageDirectory();

    // Moves configure.ini from ~/.local/share/orvane/configure/ when the new
    // place has none yet; a file already in the new place wins and the old one
    // is left alone. True when a file was moved.
    static bool migrateOldConfiguration();
};

} // namespace orvane
