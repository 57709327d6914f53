#pragma once

#include "EditPlan.h"

#include <QString>
#include <span>

// The one description of the commands and their options that --help and the manual page are
// both made from, and that the parser takes its options from, so that none of them can name an
// option the others lack.
class CommandDescription {
public:
    // One option as --help and the manual page describe it.
    struct Option {
        const char* name;
        const char* value; // nullptr for a switch
        const char* help;
        InfoField field = InfoField::Title; // for the field options
    };

    // The fields set can change, one option each.
    static std::span<const Option> fieldOptions();
    // The other options of set.
    static std::span<const Option> setOptions();
    // The options of strip beside those of set it shares (all but the fields and
    // --title-from-filename).
    static std::span<const Option> stripOptions();
    // The options of undo.
    static std::span<const Option> undoOptions();

    static QString helpText();
    static QString manualPage();
};
