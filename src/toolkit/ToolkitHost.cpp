#include "ToolkitHost.h"

#include "JavaStartup.h"
#include "PathHelpers.h"
#include "ToolProcess.h"
#include "Toolkit.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QtEndian>
#include <algorithm>

using namespace std::chrono_literals;

namespace {

constexpr auto startLimit = 30s;

void appendNumber(QByteArray& bytes, quint32 number) {
    char raw[4];
    qToBigEndian(number, raw);
    bytes.append(raw, 4);
}

void appendBlock(QByteArray& bytes, const QByteArray& block) {
    appendNumber(bytes, static_cast<quint32>(block.size()));
    bytes.append(block);
}

quint32 numberAt(const QByteArray& bytes, qsizetype offset) {
    return qFromBigEndian<quint32>(bytes.constData() + offset);
}

} // namespace

ToolkitHost& ToolkitHost::instance() {
    static ToolkitHost host;
    return host;
}

ToolkitHost::ToolkitHost() {
    // Nothing of the host may outlive the program.
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
                &ToolkitHost::shutDown);
}

void ToolkitHost::setEnabled(bool enabled) {
    enabled_ = enabled;
    if (!enabled)
        shutDown();
}

bool ToolkitHost::isRunning() const {
    return process_ && process_->state() != QProcess::NotRunning;
}

qint64 ToolkitHost::processId() const {
    return process_ ? process_->processId() : 0;
}

QByteArray ToolkitHost::encodeRequest(const QStringList& arguments, const QByteArray& input) {
    QByteArray request;
    appendNumber(request, static_cast<quint32>(arguments.size()));
    for (const QString& argument : arguments)
        appendBlock(request, argument.toUtf8());
    appendBlock(request, input);
    return request;
}

std::optional<ToolkitHost::Answer> ToolkitHost::takeAnswer(QByteArray& buffer) {
    qsizetype offset = 4;
    QByteArray blocks[2];
    for (QByteArray& block : blocks) {
        if (buffer.size() < offset + 4)
            return std::nullopt;
        const quint32 length = numberAt(buffer, offset);
        if (buffer.size() < offset + 4 + qsizetype(length))
            return std::nullopt;
        block = buffer.mid(offset + 4, length);
        offset += 4 + length;
    }
    Answer answer{static_cast<qint32>(numberAt(buffer, 0)), blocks[0], blocks[1]};
    buffer.remove(0, offset);
    return answer;
}

bool ToolkitHost::launch(const QString& toolkit) {
    const QString hostJar =
        PathHelpers::ProgramFolder() + QStringLiteral("/metascribe-toolkit-host.jar");
    const QString java = QStandardPaths::findExecutable(QStringLiteral("java"));
    const QStringList jars = Toolkit::launcherJars(toolkit);
    if (!QFileInfo(hostJar).isFile() || java.isEmpty() || jars.isEmpty())
        return false;

    process_ = new QProcess(this);
    process_->setProcessEnvironment(ToolProcess::environment());
    process_->setStandardErrorFile(QProcess::nullDevice());
    ToolProcess::usePrivateFolder(*process_);
    // The window's thread wins when both want the processor, so it never waits on the host's
    // compiler threads.
    ToolProcess::tieToProgram(*process_, 5);
    // Only the quick compiler: the optimising one spent more processor time compiling than
    // its code saved over a batch of a thousand files, time taken from the toolkit and from
    // the checks of the results on a machine with two cores. And it compiles a method after a
    // third of the calls it would wait for otherwise: the toolkit's code runs once a file, so
    // by default much of it ran interpreted for the first few hundred files (over a third of
    // the host's time in a run of a thousand), on the thread every file waits for, while the
    // compiler's own threads have time on the other core. No performance-data file: Java
    // keeps it in the system's temporary folder, and a killed host would leave it there.
    // The simple collector with a small young generation: each request leaves only garbage
    // behind, which the default collector let pile up in a young generation it kept growing
    // (and never gave back) over a long batch, a few hundred MB; collected every few MB, the
    // host stays at its small working set however many files it changes. 32 MB holds a scan's
    // 16 MB image streams, which die there; with 16 MB each went to the old generation, and a
    // 1 GB scan took half as much processor time again. Only the starting size is small: the
    // heap still grows as far as a large file needs. The loaded classes come from an archive
    // when there is one (a run of a single file took a third less), which the first host writes
    // as it ends. Java's warnings go to standard error (which nobody reads) rather than to its
    // standard output, where they would be taken for the start of an answer: one about a class
    // archive left by another Java, say.
    const QStringList classPath = QStringList{hostJar} + jars;
    startup_ = JavaStartup::hostPlan(classPath);
    process_->start(java, QStringList{QStringLiteral("-Xshare:auto"),
                                      QStringLiteral("-XX:TieredStopAtLevel=1"),
                                      QStringLiteral("-XX:CompileThresholdScaling=0.3"),
                                      QStringLiteral("-XX:-UsePerfData"),
                                      QStringLiteral("-XX:+UseSerialGC"), QStringLiteral("-Xmn32m"),
                                      QStringLiteral("-Xms48m"), QStringLiteral("-Xlog:disable"),
                                      QStringLiteral("-Xlog:all=warning:stderr")} +
                              startup_.arguments +
                              QStringList{QStringLiteral("-cp"), classPath.join(QLatin1Char(':')),
                                          QStringLiteral("metascribe.ToolkitHost")});
    if (!process_->waitForStarted()) {
        discardProcess();
        return false;
    }
    received_.clear();
    toolkit_ = toolkit;
    ready_ = false;
    warmUps_ = 0;
    warmUpsLeft_ = 0;
    return true;
}

bool ToolkitHost::takeReady() {
    received_ += process_->readAllStandardOutput();
    if (!ready_ && received_.size() >= 4 && numberAt(received_, 0) == Ready) {
        received_.remove(0, 4);
        ready_ = true;
    }
    return ready_;
}

bool ToolkitHost::awaitReady() {
    // Whatever else comes first is no host ready to work.
    const auto answered = [this] {
        return takeReady() || received_.size() >= 4;
    };
    if (ready_ ||
        (ToolProcess::waitFor(*process_, startLimit, answered) == ToolProcess::Wait::Done &&
         ready_))
        return true;
    const JavaStartup::Plan startup = startup_;
    discardProcess();
    // A damaged class archive makes Java abort as it starts; without it, it starts again.
    if (JavaStartup::drop(startup))
        return launch(toolkit_) && awaitReady();
    return false;
}

void ToolkitHost::prepare(WarmUp warmUp) {
    const QString toolkit = Toolkit::path();
    if (!enabled_ || busy_ || process_ || toolkit.isEmpty() || unusableFor_ == toolkit)
        return;
    // Only started here: the first request waits for it to be ready, if it still has to.
    if (!launch(toolkit)) {
        unusableFor_ = toolkit;
        return;
    }
    // A host that has just started runs the toolkit's code slowly until Java has compiled it,
    // about the first few hundred files, and the compiling itself takes the processor from the
    // run. Changing sample files a few hundred times while the user fills in the page does
    // most of that beforehand; the results go nowhere. They are sent a few at a time, as the
    // answers come, so that a run started meanwhile waits for two of them at most.
    if (warmUp == WarmUp::None)
        return;
    const QDir samples(PathHelpers::ProgramFolder() + QStringLiteral("/Samples"));
    warmUpSamples_.clear();
    for (const QString& name : samples.entryList({QStringLiteral("*.pdf")}, QDir::Files))
        warmUpSamples_ << samples.filePath(name);
    if (warmUpSamples_.isEmpty())
        return;
    warmUpsLeft_ = warmUpCount;
    connect(process_, &QProcess::readyReadStandardOutput, this, &ToolkitHost::warmUpAnswered);
    sendWarmUps();
}

void ToolkitHost::sendWarmUps() {
    constexpr int ahead = 2;
    const QByteArray info = QByteArrayLiteral("InfoBegin\nInfoKey: Title\nInfoValue: warm-up\n");
    while (process_ && warmUpsLeft_ > 0 && warmUps_ < ahead && requests_.empty()) {
        const QString& sample = warmUpSamples_.at(warmUpsLeft_ % warmUpSamples_.size());
        process_->write(encodeRequest({sample, QStringLiteral("update_info"), QStringLiteral("-"),
                                       QStringLiteral("output"), QStringLiteral("-")},
                                      info));
        ++warmUps_;
        --warmUpsLeft_;
    }
}

void ToolkitHost::warmUpAnswered() {
    // A run's own requests take their answers themselves, warm-up answers before them.
    if (!process_ || busy_ || !requests_.empty())
        return;
    // Whatever else came first is left for the first request to find.
    if (!takeReady())
        return;
    takeAnswers();
    sendWarmUps();
}

void ToolkitHost::discardProcess(bool interrupted) {
    // The requests the host had not answered: none of them runs any more.
    for (Request& request : requests_) {
        if (request.result)
            continue;
        if (interrupted)
            request.result.emplace().outcome = ToolResult::Outcome::Interrupted;
        else
            request.lost = true;
    }
    if (!process_)
        return;
    ToolProcess::killGroup(*process_);
    // A class archive it was writing as it ended is whole only if it ended on its own, well.
    process_->waitForFinished(0);
    JavaStartup::keep(startup_, process_->state() == QProcess::NotRunning &&
                                    process_->exitStatus() == QProcess::NormalExit &&
                                    process_->exitCode() == 0);
    startup_ = {};
    process_->deleteLater();
    process_ = nullptr;
    received_.clear();
}

void ToolkitHost::shutDown() {
    if (process_ && process_->state() != QProcess::NotRunning) {
        // Closing its input ends the host between requests; a request still running is cut off.
        process_->closeWriteChannel();
        // Java writes its class archive as it ends, the first time: a few tenths of a second.
        process_->waitForFinished(startup_.pendingArchive.isEmpty() ? 1000 : 10000);
        // What it answered before it ended stands; what it did not is run again if collected.
        takeAnswers();
    }
    discardProcess();
}

std::optional<ToolResult> ToolkitHost::run(const ToolInvocation& invocation,
                                           std::chrono::milliseconds timeLimit) {
    const std::optional<quint64> ticket = submit(invocation, timeLimit);
    if (!ticket)
        return std::nullopt;
    return collect(*ticket);
}

std::optional<quint64> ToolkitHost::submit(const ToolInvocation& invocation,
                                           std::chrono::milliseconds timeLimit) {
    const QString toolkit = Toolkit::path();
    if (!enabled_ || busy_ || toolkit.isEmpty() || invocation.program != toolkit ||
        unusableFor_ == toolkit)
        return std::nullopt;
    // A host that ended between requests, or serves another toolkit, is replaced.
    if (process_ && (toolkit_ != toolkit || process_->state() == QProcess::NotRunning))
        discardProcess();
    busy_ = true;
    const bool usable = (process_ || launch(toolkit)) && awaitReady();
    busy_ = false;
    if (!usable) {
        unusableFor_ = toolkit;
        return std::nullopt;
    }
    // The run has begun: no more warm-ups go before its requests.
    warmUpsLeft_ = 0;
    process_->write(
        encodeRequest(invocation.arguments, invocation.standardInput.value_or(QByteArray())));
    requests_.push_back({nextTicket_, timeLimit, std::nullopt, false});
    return nextTicket_++;
}

std::deque<ToolkitHost::Request>::iterator ToolkitHost::firstWaiting() {
    return std::ranges::find_if(
        requests_, [](const Request& request) { return !request.result && !request.lost; });
}

void ToolkitHost::takeAnswers() {
    received_ += process_->readAllStandardOutput();
    auto waiting = firstWaiting();
    while (std::optional<Answer> answer = takeAnswer(received_)) {
        // The answers to the warm-up requests come first.
        if (warmUps_ > 0) {
            --warmUps_;
            continue;
        }
        if (waiting == requests_.end())
            break;
        ToolResult& result = waiting->result.emplace();
        result.outcome = ToolResult::Outcome::Finished;
        result.exitCode = answer->exitCode;
        result.standardError = std::move(answer->standardError);
        result.standardOutput = std::move(answer->standardOutput);
        ++waiting;
    }
}

std::optional<ToolResult> ToolkitHost::collect(quint64 ticket) {
    const auto find = [this, ticket] {
        return std::ranges::find(requests_, ticket, &Request::ticket);
    };
    if (find() == requests_.end())
        return std::nullopt;
    // The host answers in the order it was asked: the requests before this one are waited for
    // first, each within its own time limit from when the wait for it begins.
    while (!find()->result && !find()->lost) {
        if (!process_) {
            discardProcess();
            break;
        }
        Request& head = *firstWaiting();
        busy_ = true;
        const ToolProcess::Wait wait = ToolProcess::waitFor(*process_, head.timeLimit, [&] {
            takeAnswers();
            return head.result.has_value();
        });
        busy_ = false;
        if (wait == ToolProcess::Wait::Done)
            continue;
        // The host ends with status 1 only between requests, after answering one that left
        // Java unfit to go on: then this request never ran, and is lost rather than failed.
        const bool endedBetween = wait == ToolProcess::Wait::Ended &&
                                  process_->exitStatus() == QProcess::NormalExit &&
                                  process_->exitCode() == 1;
        if (!endedBetween) {
            ToolResult& result = head.result.emplace();
            switch (wait) {
            case ToolProcess::Wait::TimedOut:
                // The request may go on writing its output; only ending the host stops it.
                result.outcome = ToolResult::Outcome::TimedOut;
                break;
            case ToolProcess::Wait::Ended:
                result.outcome = ToolResult::Outcome::Crashed;
                break;
            default:
                result.outcome = ToolResult::Outcome::Interrupted;
                break;
            }
        }
        discardProcess(wait == ToolProcess::Wait::Interrupted);
    }
    const auto found = find();
    std::optional<ToolResult> result = found->lost ? std::nullopt : std::move(found->result);
    requests_.erase(found);
    return result;
}
