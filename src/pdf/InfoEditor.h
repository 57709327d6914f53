#pragma once

#include "EditPlan.h"

#include <QByteArray>
#include <QString>

// What the toolkit cannot do to the document information: take a key out (it writes an empty
// value as an empty string) and set Trapped, which is a name (it writes every value as a
// string); nor to the catalog (CatalogSettings). Done on the toolkit's result, not encrypted,
// before its protection is put back.
class InfoEditor {
public:
    // Whether the plan asks for anything of the sort.
    static bool needed(const EditPlan& plan);

    // The file input with the plan's removed keys gone from its document information, Trapped
    // and the catalog's settings as the plan says; everything else as it was. Empty when the file
    // is that already. Throws Failure, whose text is a reason phrase about the file starting with
    // "it".
    static QByteArray applied(const QString& input, const EditPlan& plan);
};
