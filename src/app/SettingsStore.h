#pragma once

#include <QString>

// The per-user choices the first page remembers between runs: text values under application
// "Brightfen", section "Metascribe", in an INI file in the user's XDG config folder. Every read
// and write goes to the file at once; nothing is cached.
class SettingsStore {
public:
    // The stored text, or the default when the key was never written or the file cannot be read.
    static QString get(const QString& key, const QString& defaultText = {});
    // Throws Failure when the value cannot be stored. A file that cannot be read is never
    // rewritten, so values that could not be read are not lost by a write.
    static void save(const QString& key, const QString& text);

    // The stored forms of truth values and small integers, and their conversions back.
    static QString fromBool(bool value);
    // "True"/"False" in any letter case, or a number (0 is false). Throws Failure otherwise.
    static bool toBool(const QString& text);
    // Decimal integer text, blanks around it allowed. Throws Failure otherwise.
    static int toInt(const QString& text);

    // Where the file is; for messages and tests.
    static QString fileName();
};
