#pragma once

#include <QList>
#include <QString>

// The rows the benchmarks measured, in the order they were measured, printed at the end as one
// Markdown table.
class ResultTable {
public:
    struct Row {
        QString what;
        QString ours;
        QString baseline;
        double ratio;
        QString goal;
    };

    ResultTable& operator<<(const Row& row);
    void print() const;

private:
    QList<Row> rows_;
};
