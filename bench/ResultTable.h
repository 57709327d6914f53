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
    // A table of its own (Markdown), printed after the rows.
    void note(const QString& markdown);
    void print() const;

private:
    QList<Row> rows_;
    QList<QString> notes_;
};
