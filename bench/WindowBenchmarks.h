#pragma once

#include <QString>

class ResultTable;

// What a user of the window waits for, and the memory the window's list takes.
namespace WindowBenchmarks {

// A warm preview of one file against one pdftk dump_data.
void preview(const QString& work, const QString& sample, ResultTable& table);
// Walking and adding a tree of about files empty files against find, and the longest event-loop
// stall while adding it.
void walk(const QString& work, int files, ResultTable& table);
// The resident memory with 10,000 rows in the list, each measured in a process of its own.
void memory(ResultTable& table);
// The resident memory of this process, in MB, after adding rows to the window's list.
double memoryWithRows(int rows);

} // namespace WindowBenchmarks
