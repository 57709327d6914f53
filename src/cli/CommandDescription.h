#pragma once

#include "EditPlan.h"

#include <QList>
#include <QString>
#include <initializer_list>
#include <span>

// The one description of the commands, their synopsis and their options that --help and the
// manual page are both made from, and that each command takes its options from, so that none of
// them can name an option the others lack.
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
    // The other changes of set.
    static std::span<const Option> setOptions();
    // The options of a run of the batch engine, which set and strip share.
    static std::span<const Option> runOptions();
    // The options strip has beside the run's.
    static std::span<const Option> stripOptions();
    static std::span<const Option> showOptions();
    static std::span<const Option> checkOptions();
    static std::span<const Option> undoOptions();
    static std::span<const Option> renameOptions();
    // The options of the groups, one after the other, as a command takes them.
    static QList<Option> joined(std::initializer_list<std::span<const Option>> groups);

    static QString helpText();
    static QString manualPage();
};
