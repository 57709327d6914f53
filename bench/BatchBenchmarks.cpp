#include "BatchBenchmarks.h"

#include "Form1.h"
#include "Form2.h"
#include "Measuring.h"
#include "ResultTable.h"
#include "ScriptedDialogs.h"
#include "StallMeter.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <cstdio>

namespace BatchBenchmarks {

namespace {

using Measuring::exifTool;
using Measuring::freshFolder;
using Measuring::quoted;
using Measuring::secondsText;
using Measuring::shell;
using Row = ResultTable::Row;

struct Batch {
    double seconds;
    double worstStall;
};

// password: answered to every prompt when given.
Batch runBatch(const QString& folder, const std::optional<QString>& password = std::nullopt) {
    ScriptedDialogs dialogs;
    Form1 form;
    form.Form_Load();
    for (const QString& name : QDir(folder).entryList({"*.pdf"}, QDir::Files, QDir::Name))
        form.fileList().AddPath(folder + QLatin1Char('/') + name);
    form.findChild<QRadioButton*>("Option2")->click();
    form.findChild<QCheckBox*>("Check1")->setChecked(password.has_value());
    if (password)
        dialogs.inputAnswers.assign(form.fileList().Count(), password);
    form.findChild<QPushButton*>("PushButton2")->click();
    Form2* second = form.secondPage();
    // As in the window: the page is shown, and the user takes a moment to fill in the fields,
    // while the toolkit host starts.
    second->show();
    QElapsedTimer filling;
    filling.start();
    while (filling.elapsed() < 1500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    second->findChild<QLineEdit*>("Text1")->setText("Benchmark Title");
    second->findChild<QLineEdit*>("Text3")->setText("Benchmark Author");
    StallMeter stalls;
    stalls.start();
    const double elapsed = Measuring::seconds([&] { second->PushButton4_Click(); });
    const double worst = stalls.stop();
    if (dialogs.messages().isEmpty() || dialogs.messages().constLast().text != "Done.")
        std::fprintf(stderr, "batch did not end with a plain Done.: %s\n",
                     qPrintable(dialogs.messages().value(0).details.left(300)));
    return {elapsed, worst};
}

void batchesOf(const QString& work, const QString& label, const QStringList& sources, int files,
               bool withLoop, double& worstStall, ResultTable& table) {
    const QString info = work + "/info.txt";
    QFile file(info);
    file.open(QIODevice::WriteOnly);
    file.write("InfoBegin\r\nInfoKey: Title\r\nInfoValue: Benchmark Title\r\nInfoBegin\r\n"
               "InfoKey: Author\r\nInfoValue: Benchmark Author\r\n\r\n");
    file.close();

    const auto fresh = [&](const QString& name) {
        return freshFolder(work, name, sources, files);
    };
    const Batch ours = runBatch(fresh("ours"));
    worstStall = std::max(worstStall, ours.worstStall);
    const QString loopFolder = fresh("loop");
    const double loop =
        !withLoop
            ? 0
            : shell(QStringLiteral(
                        "cd %1 && for f in *.pdf; do pdftk \"$f\" update_info %2 output \"$f.new\" "
                        "dont_ask && mv \"$f.new\" \"$f\"; done")
                        .arg(quoted(loopFolder), quoted(info)));
    const double exif = exifTool(fresh("exif"));
    const QString copyFolder = fresh("copy");
    const double copy = shell(
        QStringLiteral("cp -r %1 %2").arg(quoted(copyFolder), quoted(copyFolder + "-copied")));
    const QString what = QStringLiteral("%1 files, %2").arg(files).arg(label);
    if (withLoop)
        table << Row{what + ": batch vs one pdftk per file", secondsText(ours.seconds),
                     secondsText(loop), ours.seconds / loop, ""};
    table << Row{what + ": batch vs ExifTool", secondsText(ours.seconds), secondsText(exif),
                 ours.seconds / exif, "at most 0.5"};
    table << Row{what + ": batch vs cp (the floor)", secondsText(ours.seconds), secondsText(copy),
                 ours.seconds / copy, ""};
}

} // namespace

void batches(const QString& work, const QString& onePage, const QStringList& corpus, int files,
             bool withLoop, ResultTable& table) {
    double worstStall = 0;
    batchesOf(work, "one-page PDFs", {onePage}, files, withLoop, worstStall, table);
    batchesOf(work, "corpus copies", corpus, files, withLoop, worstStall, table);
    table << Row{"longest event-loop stall during a batch",
                 QStringLiteral("%1 ms").arg(worstStall, 0, 'f', 1), "50 ms", worstStall / 50,
                 "at most 1"};
}

double windowSeconds(const QString& folder) {
    return runBatch(folder).seconds;
}

void againstExifTool(const QString& work, const QString& label, const QString& source, int files,
                     const QString& exifArguments, const std::optional<QString>& password,
                     ResultTable& table) {
    const Batch ours = runBatch(freshFolder(work, "ours", {source}, files), password);
    const double exif = exifTool(freshFolder(work, "exif", {source}, files), exifArguments);
    table << Row{QStringLiteral("%1 files, %2: batch vs ExifTool").arg(files).arg(label),
                 secondsText(ours.seconds), secondsText(exif), ours.seconds / exif, "at most 0.6"};
}

} // namespace BatchBenchmarks
