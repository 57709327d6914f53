#include "RunChoices.h"

#include "BatchRun.h"

QString RunChoices::destinationOf(const QString& input, const QString& base) const {
    if (inPlace)
        return input;
    return BatchRun::destination(input, base, saveToFolder, saveBesideOriginal, resultFolder)
        .value_or(QString());
}
