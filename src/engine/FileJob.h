#pragma once

#include "BatchRun.h"
#include "EditPlan.h"
#include "ExchangeFile.h"
#include "Failure.h"
#include "FileStamp.h"
#include "OutputFile.h"
#include "PdfCopier.h"
#include "PdfStripper.h"
#include "RunChoices.h"
#include "ToolRunner.h"
#include "UnnamedFile.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

class PdfSnapshot;

// Where a phase of one file leaves it: on to the next phase, done with its outcome final, the
// run ends here, or the same phase again once the next file has got as far (the toolkit is at
// work on it meanwhile).
enum class Flow { Next, Done, Stop, Later };

// Everything the run knows of one file, from its place in the list to its outcome: the read-ahead
// fills it, the phases carry it on, the commit queue finishes it. Nothing of a file is kept
// anywhere else.
struct FileJob {
    FileJob(int position, QString input);
    FileJob(const FileJob&) = delete;
    FileJob& operator=(const FileJob&) = delete;

    const QString& input() const { return outcome.path; }
    const QString& destination() const { return outcome.destination; }
    // The outcome is final: the file failed for reason.
    Flow fail(const QString& reason, const QString& detail = {});
    // Forgets what was read ahead; the file is read again, with password.
    void forgetReadAhead(std::optional<QString> password);
    // Lets go of everything but the outcome, once the outcome is final; without a yield, also
    // on the commit queue's thread.
    void release();

    const int position;
    // Its input and destination too.
    BatchRun::Outcome outcome;
    RunChoices choices;
    // A name without a dot keeps its whole name as title, after the report.
    QString titleFromName;
    EditPlan plan;
    // What the info-update file says for this file, and the run's info-update file that says it.
    QByteArray info;
    const ExchangeFile* infoFile = nullptr;
    // The password the file takes.
    std::optional<QString> password;
    // Whether the original below (or why it could not be read) and the output were made while
    // the file before it was changed.
    bool readAhead = false;
    // What the original holds, read by a reader independent of the toolkit: the result must
    // hold the same, apart from the fields that were changed.
    std::shared_ptr<PdfSnapshot> original;
    std::optional<Failure> unreadable;
    // The input as it was when it was read; changed in place, it must still be that file when
    // its result replaces it.
    std::optional<FileStamp> stamp;
    // The input's times, taken with its stamp, before reading it could change its access time;
    // only in a run whose results keep them.
    std::optional<OutputFile::Times> times;
    // Whether the destination is the input itself.
    OutputFile::Link link = OutputFile::Link::Refuse;
    PdfCopier::Copy copy;
    // Our reader could not write the file out again: the toolkit gets it as it is, once.
    bool repairFailed = false;
    // The prepared copy the toolkit reads instead of the file, in memory or in the private
    // folder; neither when the toolkit reads the file itself.
    std::optional<QByteArray> preparedBytes;
    ExchangeFile preparedCopy;
    // A protected file's decrypted copy when it is too large for memory, and the toolkit's result
    // before it is protected again: neither ever has a name, so a kill leaves nothing readable.
    std::optional<UnnamedFile> unnamedCopy;
    std::optional<UnnamedFile> unprotectedResult;
    std::unique_ptr<OutputFile> output;
    // The toolkit's run on the file, sent to it and still to be collected.
    std::optional<ToolRunner::Started> toolkitRun;
    // What stripping took out of it, in a run that strips.
    std::optional<PdfStripper::Stripped> stripped;
    // How many bytes of the result are the original's, when the change to a signed file was
    // added after them rather than made by the toolkit.
    std::optional<qint64> signedPart;
    // What the outcome says once the result is in place, beside its hard links.
    QString resultNote;
};
