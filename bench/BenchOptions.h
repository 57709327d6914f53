#pragma once

#include <QStringList>
#include <optional>

// What the command line asks the benchmark program to do.
struct BenchOptions {
    int files = 1000;
    int treeFiles = 100000;
    int largeMegabytes = 1024;
    // The benchmarks to run, by name.
    QStringList only{"batch",     "cli",     "csv",  "strip",  "trash", "values", "xmp",
                     "encrypted", "preview", "walk", "memory", "large", "turns",  "files20k"};
    // Whether batches are also measured against one pdftk per file.
    bool loop = true;
    // Set when this run only measures its own memory with that many rows in the list; the options
    // after it are not read.
    std::optional<int> memoryOfRows;

    // arguments as QCoreApplication::arguments gives them, the program first.
    static BenchOptions parse(const QStringList& arguments);
};
