// Measures the program's own batch run, preview, folder walk and memory against plain tools in
// the same run, and prints each as a ratio (a Markdown table).
//
//     scripts/bench.sh [--files N] [--tree N] [--large-mb N] [--no-loop]
//                      [--only
//                      batch,cli,check,csv,strip,trash,values,xmp,encrypted,preview,walk,memory,large,
//                              turns,files20k]

#include "BatchBenchmarks.h"
#include "BenchOptions.h"
#include "CommandLineBenchmarks.h"
#include "LargeFileBenchmark.h"
#include "Measuring.h"
#include "ResultTable.h"
#include "TestFiles.h"
#include "Toolkit.h"
#include "ToolkitHost.h"
#include "TurnBenchmarks.h"
#include "WindowBenchmarks.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>

namespace {

// The PDF files of the corpus that open without a password.
QStringList corpusFiles() {
    QStringList corpus;
    for (const QString& name : QDir(CORPUS_FOLDER).entryList({"*.pdf"}, QDir::Files, QDir::Name))
        if (!name.contains("password"))
            corpus << QStringLiteral(CORPUS_FOLDER) + "/" + name;
    return corpus;
}

// Runs the benchmarks options names, in a fixed order, in folders under work.
void runChosen(const BenchOptions& options, const QString& work, ResultTable& table) {
    const int files = options.files;
    const QString samples = QCoreApplication::applicationDirPath() + "/Samples";
    const QString onePage = samples + "/Quarterly Report.pdf";
    const QStringList corpus = corpusFiles();
    if (options.only.contains("batch")) {
        std::fprintf(stderr, "batches of %d files...\n", files);
        BatchBenchmarks::batches(work, onePage, corpus, files, options.loop, table);
    }
    if (options.only.contains("cli")) {
        std::fprintf(stderr, "command line, %d files...\n", files);
        CommandLineBenchmarks::set(work, onePage, files, table);
    }
    if (options.only.contains("check")) {
        std::fprintf(stderr, "check, %d files...\n", files);
        CommandLineBenchmarks::check(work, corpus, files, table);
    }
    if (options.only.contains("csv")) {
        std::fprintf(stderr, "tables, %d files...\n", files);
        CommandLineBenchmarks::csv(work, onePage, files, table);
    }
    if (options.only.contains("strip")) {
        std::fprintf(stderr, "strip, %d files...\n", files);
        CommandLineBenchmarks::strip(work, onePage, files, table);
    }
    if (options.only.contains("trash")) {
        std::fprintf(stderr, "keeping originals in the Trash, %d files...\n", files);
        CommandLineBenchmarks::trash(work, onePage, files, table);
    }
    if (options.only.contains("values")) {
        std::fprintf(stderr, "templates and renaming, %d files...\n", files);
        CommandLineBenchmarks::values(work, onePage, files, table);
    }
    if (options.only.contains("xmp")) {
        std::fprintf(stderr, "files with XMP metadata...\n");
        BatchBenchmarks::againstExifTool(
            work, "with XMP metadata",
            QStringLiteral(CORPUS_FOLDER) + "/output_with_metadata_pymupdf.pdf", files,
            "-XMP-dc:Title='Benchmark Title' -XMP-dc:Creator='Benchmark Author'", std::nullopt,
            table);
    }
    if (options.only.contains("encrypted")) {
        std::fprintf(stderr, "encrypted files...\n");
        const QString locked = work + "/locked.pdf";
        Measuring::shell(QStringLiteral("qpdf --encrypt user owner 128 --use-aes=y -- %1 %2")
                             .arg(Measuring::quoted(onePage), Measuring::quoted(locked)));
        BatchBenchmarks::againstExifTool(work, "AES-128 with a user password", locked, files / 10,
                                         "-password user", QStringLiteral("user"), table);
    }
    if (options.only.contains("preview")) {
        std::fprintf(stderr, "preview...\n");
        WindowBenchmarks::preview(work, onePage, table);
    }
    if (options.only.contains("walk")) {
        std::fprintf(stderr, "tree of %d files...\n", options.treeFiles);
        WindowBenchmarks::walk(work, options.treeFiles, table);
    }
    if (options.only.contains("memory"))
        WindowBenchmarks::memory(table);
    if (options.only.contains("turns")) {
        std::fprintf(stderr, "turns of the window, the command line and ExifTool, %d files...\n",
                     files);
        TurnBenchmarks::run(work, onePage, files, 3, table);
    }
    if (options.only.contains("large")) {
        std::fprintf(stderr, "one file of %d MB...\n", options.largeMegabytes);
        LargeFileBenchmark::run(work, onePage, options.largeMegabytes, table);
    }
    if (options.only.contains("files20k")) {
        std::fprintf(stderr, "command line, 1000 and 20000 files...\n");
        CommandLineBenchmarks::manyFiles(work, onePage, table);
    }
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const BenchOptions options = BenchOptions::parse(application.arguments());
    if (options.memoryOfRows) {
        // Run in a process of its own, so nothing measured before inflates it.
        std::printf("%f\n", WindowBenchmarks::memoryWithRows(*options.memoryOfRows));
        return 0;
    }
    QTemporaryDir home;
    TestFiles::isolateHome(home.path());
    if (Toolkit::path().isEmpty()) {
        std::fprintf(stderr, "pdftk is missing\n");
        return 1;
    }
    QTemporaryDir work;
    ResultTable table;
    runChosen(options, work.path(), table);
    ToolkitHost::instance().shutDown();
    table.print();
    return 0;
}
