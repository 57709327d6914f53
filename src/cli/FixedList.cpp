#include "FixedList.h"

#include <utility>

FixedList::FixedList(QStringList files, QString outFolder, bool trash)
    : files_(std::move(files)), outFolder_(std::move(outFolder)), trash_(trash) {}

int FixedList::fileCount() const {
    return int(files_.size());
}

QString FixedList::pathAt(int position) const {
    return files_.at(position - 1);
}

bool FixedList::saveToFolder() const {
    return !outFolder_.isEmpty();
}

bool FixedList::saveBesideOriginal() const {
    return false;
}

QString FixedList::resultFolder() const {
    return outFolder_;
}

bool FixedList::promptForPassword() const {
    return false;
}

bool FixedList::inPlace() const {
    return outFolder_.isEmpty();
}

bool FixedList::keepOriginalsInTrash() const {
    return trash_;
}
