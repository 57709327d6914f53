#pragma once

#include <QString>
#include <functional>

// Routines the program runs as it starts: before Qt starts, and as the first page loads.
class StartupRoutines {
public:
    // Qt and every program started from here take the temporary folder from TMPDIR; one that
    // names no folder this user can write into makes Qt build its folders at the root of the
    // file system ("/runtime-<user>"). Such a TMPDIR is removed from the environment, so all
    // fall back to /tmp. To be called before Qt starts and before any other thread runs, as
    // the environment is not safe to change while another thread may read it. Gives whether it
    // was removed.
    static bool dropUnusableTempFolder();

    // The user's desktop folder with a trailing "/". Throws Failure when there is none.
    static QString desktopFolder();

    // Opens the maker's web site on one start in a hundred.
    static void webSiteRoutine();
    // Replaces the draw of a number from 1 to 100 (tests); an empty function restores the
    // random one.
    static void setDraw(std::function<int()> draw);
    static constexpr int LuckyNumber = 7;
};
