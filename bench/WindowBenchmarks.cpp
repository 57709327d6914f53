#include "WindowBenchmarks.h"

#include "FolderWalker.h"
#include "Form1.h"
#include "Measuring.h"
#include "ResultTable.h"
#include "ScriptedDialogs.h"
#include "StallMeter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <algorithm>

namespace WindowBenchmarks {

namespace {

using Measuring::median;
using Measuring::quoted;
using Measuring::seconds;
using Measuring::shell;
using Row = ResultTable::Row;

// 100 folders in two levels, files spread evenly.
QString makeTree(const QString& work, int files) {
    const QString tree = work + "/tree";
    const int folders = 100;
    for (int f = 0; f < folders; ++f) {
        const QString folder = tree + QStringLiteral("/group%1/folder%2").arg(f / 10).arg(f);
        QDir().mkpath(folder);
        for (int i = 0; i < files / folders; ++i) {
            QFile touch(folder + QStringLiteral("/doc%1.pdf").arg(i));
            touch.open(QIODevice::WriteOnly);
        }
    }
    return tree;
}

} // namespace

void preview(const QString& work, const QString& sample, ResultTable& table) {
    ScriptedDialogs dialogs;
    Form1 form;
    form.Form_Load();
    const QString file = work + "/preview.pdf";
    QFile::copy(sample, file);
    form.fileList().AddPath(file);
    form.fileList().select(1);
    form.ListView1_Click(); // starts the host
    QList<double> ours;
    QList<double> process;
    for (int i = 0; i < 15; ++i) {
        ours << seconds([&] { form.ListView1_Click(); });
        process << shell(QStringLiteral("pdftk %1 dump_data").arg(quoted(file)));
    }
    const double warm = median(ours) * 1000;
    const double alone = median(process) * 1000;
    table << Row{"warm preview of one file vs one pdftk dump_data",
                 QStringLiteral("%1 ms").arg(warm, 0, 'f', 1),
                 QStringLiteral("%1 ms").arg(alone, 0, 'f', 1), warm / alone, "under 30 ms"};
}

void walk(const QString& work, int files, ResultTable& table) {
    const QString tree = makeTree(work, files);
    ScriptedDialogs dialogs;
    Form1 form;
    form.Form_Load();
    dialogs.inputAnswers.push_back(QStringLiteral("*"));
    dialogs.folderAnswers.push_back(tree);
    StallMeter stalls;
    stalls.start();
    const double ours = seconds([&] { form.findChild<QPushButton*>("PushButton4")->click(); });
    const double worst = stalls.stop();
    const double find = shell(QStringLiteral("find %1 -type f").arg(quoted(tree)));
    qsizetype found = 0;
    const double listed = seconds([&] {
        QStringList folders{tree + "/"};
        FolderWalker::Listing listing;
        FolderWalker::AppendSubFolders(folders, true, &listing);
        for (const QString& folder : std::as_const(folders))
            found += FolderWalker::GetFolderFiles(folder, "*.*", &listing).size();
    });
    table << Row{QStringLiteral("walking a tree of %1 files vs find").arg(found),
                 QStringLiteral("%1 s").arg(listed, 0, 'f', 3),
                 QStringLiteral("%1 s").arg(find, 0, 'f', 3), listed / find, "at most 2"};
    table << Row{QStringLiteral("adding that tree to the list vs find"),
                 QStringLiteral("%1 s").arg(ours, 0, 'f', 2),
                 QStringLiteral("%1 s").arg(find, 0, 'f', 2), ours / find, ""};
    table << Row{"longest event-loop stall while adding the tree",
                 QStringLiteral("%1 ms").arg(worst, 0, 'f', 1), "50 ms", worst / 50, "at most 1"};
}

void memory(ResultTable& table) {
    const auto measure = [](int rows) {
        QProcess self;
        self.start(QCoreApplication::applicationFilePath(),
                   {"--memory-of-rows", QString::number(rows)});
        self.waitForFinished(-1);
        return self.readAllStandardOutput().trimmed().toDouble();
    };
    const double empty = measure(0);
    const double full = measure(10000);
    table << Row{"resident memory with 10,000 rows", QStringLiteral("%1 MB").arg(full, 0, 'f', 1),
                 "100 MB", full / 100,
                 QStringLiteral("at most 1 (%1 MB with an empty list)").arg(empty, 0, 'f', 1)};
}

double memoryWithRows(int rows) {
    ScriptedDialogs dialogs;
    Form1 form;
    form.Form_Load();
    form.show();
    for (int i = 0; i < rows; ++i)
        form.fileList().AddPath(
            QStringLiteral("/home/someone/Documents/Archive/2024/scans/document-%1.pdf").arg(i));
    QCoreApplication::processEvents();
    return Measuring::residentMegabytes();
}

} // namespace WindowBenchmarks
