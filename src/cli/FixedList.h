#pragma once

#include "BatchSource.h"

#include <QList>
#include <QString>
#include <QStringList>

// The files, save option and fields of a run from the command line.
class FixedList : public BatchSource {
public:
    // perFile, when given, holds a plan for each of files, in their order, that goes on top of
    // plan for that file.
    FixedList(QStringList files, QString outFolder, bool trash, EditPlan plan,
              QList<EditPlan> perFile = {});

    int fileCount() const override;
    QString pathAt(int position) const override;
    RunChoices choices() const override;
    EditPlan plan(int position) const override;

private:
    QStringList files_;
    RunChoices choices_;
    EditPlan plan_;
    QList<EditPlan> perFile_;
};
