#pragma once

#include <QString>
#include <QStringList>

class ResultTable;

// The command line, each run as the whole process a script would start, Java's start included,
// over copies of one one-page file.
namespace CommandLineBenchmarks {

// metascribe set against ExifTool.
void set(const QString& work, const QString& source, int files, ResultTable& table);
// set --csv with a value of its own for every file against set with one value for all; then the
// reading and the check of a table of 100,000 rows.
void csv(const QString& work, const QString& source, int files, ResultTable& table);
// metascribe strip against ExifTool removing every tag it can.
void strip(const QString& work, const QString& source, int files, ResultTable& table);
// set --trash against set without, and undo against the run it takes back.
void trash(const QString& work, const QString& source, int files, ResultTable& table);
// metascribe check against ExifTool reading the same files (-j): both only read.
void check(const QString& work, const QStringList& sources, int files, ResultTable& table);
// set --template against the same run with a literal value; rename from two fields against
// ExifTool renaming from the same fields.
void values(const QString& work, const QString& source, int files, ResultTable& table);
// metascribe set over 20,000 files: the peak memory of the program and its toolkit host
// together, and the time per file against a run over 1,000.
void manyFiles(const QString& work, const QString& source, ResultTable& table);

} // namespace CommandLineBenchmarks
