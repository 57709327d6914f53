#include "FixedList.h"

#include <utility>

FixedList::FixedList(QStringList files, QString outFolder, bool trash, EditPlan plan,
                     QList<EditPlan> perFile)
    : files_(std::move(files)), plan_(std::move(plan)), perFile_(std::move(perFile)) {
    // Into the folder given, or each result over its own input.
    choices_.saveToFolder = !outFolder.isEmpty();
    choices_.inPlace = outFolder.isEmpty();
    choices_.resultFolder = std::move(outFolder);
    choices_.keepOriginalsInTrash = trash;
}

int FixedList::fileCount() const {
    return int(files_.size());
}

QString FixedList::pathAt(int position) const {
    return files_.at(position - 1);
}

RunChoices FixedList::choices() const {
    return choices_;
}

EditPlan FixedList::plan(int position) const {
    return perFile_.isEmpty() ? plan_ : plan_.mergedWith(perFile_.at(position - 1));
}
