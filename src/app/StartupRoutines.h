#pragma once

#include <QString>
#include <functional>

// Routines the first page's load runs before the page is shown.
class StartupRoutines {
public:
    // The user's desktop folder with a trailing "/". Throws Failure when there is none.
    static QString desktopFolder();

    // Opens the maker's web site on one start in a hundred.
    static void webSiteRoutine();
    // Replaces the draw of a number from 1 to 100 (tests); an empty function restores the
    // random one.
    static void setDraw(std::function<int()> draw);
    static constexpr int LuckyNumber = 7;
};
