#include "ResultTable.h"

#include <cstdio>

ResultTable& ResultTable::operator<<(const Row& row) {
    rows_ << row;
    return *this;
}

void ResultTable::note(const QString& markdown) {
    notes_ << markdown;
}

void ResultTable::print() const {
    std::printf("| measurement | Metascribe | baseline | ratio | goal |\n|---|---|---|---|---|\n");
    for (const Row& row : rows_)
        std::printf("| %s | %s | %s | %.2f | %s |\n", qPrintable(row.what), qPrintable(row.ours),
                    qPrintable(row.baseline), row.ratio, qPrintable(row.goal));
    for (const QString& note : notes_)
        std::printf("\n%s\n", qPrintable(note));
}
