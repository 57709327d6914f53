#pragma once

#include "BatchSource.h"

#include <QString>
#include <QStringList>

// The files and save option of a run from the command line.
class FixedList : public BatchSource {
public:
    FixedList(QStringList files, QString outFolder, bool trash);

    int fileCount() const override;
    QString pathAt(int position) const override;
    bool saveToFolder() const override;
    bool saveBesideOriginal() const override;
    QString resultFolder() const override;
    bool promptForPassword() const override;
    bool inPlace() const override;
    bool keepOriginalsInTrash() const override;

private:
    QStringList files_;
    QString outFolder_;
    bool trash_;
};
