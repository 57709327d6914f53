#pragma once

#include "JavaStartup.h"
#include "ToolInvocation.h"
#include "ToolResult.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>
#include <chrono>
#include <deque>
#include <optional>

class QProcess;

// One resident Java process that runs toolkit requests one after another, so a batch pays for
// starting Java once instead of once per file. The toolkit still does every read and write, with
// the same arguments, files and exit codes as a toolkit process of its own. Requests the host
// cannot take (no host, another request waiting, not the toolkit) go back to the caller, which
// then starts a process.
class ToolkitHost : public QObject {
    Q_OBJECT

public:
    static ToolkitHost& instance();

    // Nothing when the host cannot take this invocation.
    std::optional<ToolResult> run(const ToolInvocation& invocation,
                                  std::chrono::milliseconds timeLimit);

    // Sends a request without waiting for its answer, so that the host can start on it as soon
    // as it has answered the requests before it; nothing when the host cannot take it. The
    // answer is then taken with collect(), which every request sent must get, in any order.
    std::optional<quint64> submit(const ToolInvocation& invocation,
                                  std::chrono::milliseconds timeLimit);
    // Waits for the answer to a request sent with submit(), at most its time limit once the host
    // has got to it. Nothing when the request was lost before the host ran it (the host ended
    // on an earlier request): it is then to be run again.
    std::optional<ToolResult> collect(quint64 ticket);

    // Starts the host ahead of the first request, without waiting for it, so that the first
    // file of a batch does not pay for starting Java. With samples, it also changes the sample
    // files a few hundred times, into nowhere, so that Java has compiled most of the toolkit's
    // code by the time the batch starts: for the window, whose user fills in a page meanwhile.
    enum class WarmUp { None, WithSamples };
    void prepare(WarmUp warmUp = WarmUp::WithSamples);

    // Ends the host; the next request starts a new one.
    void shutDown();
    // Tests and benchmarks compare with and without the host.
    void setEnabled(bool enabled);
    bool isRunning() const;
    qint64 processId() const;

    // The framing of the host's protocol.
    static QByteArray encodeRequest(const QStringList& arguments, const QByteArray& input);
    struct Answer {
        int exitCode = 0;
        QByteArray standardError;
        QByteArray standardOutput;
    };
    // Takes one whole answer off the front of buffer, when it holds one.
    static std::optional<Answer> takeAnswer(QByteArray& buffer);

    static constexpr quint32 Ready = 0x4D534831;

private:
    ToolkitHost();
    // Starts the host's process; awaitReady() then waits until it has loaded the toolkit.
    bool launch(const QString& toolkit);
    bool awaitReady();
    // Takes the host's first word off what it has sent, once it is there; whether it has been.
    bool takeReady();
    // Ends the process; the requests it had not answered are lost, or, when the program is
    // closing, interrupted.
    void discardProcess(bool interrupted = false);
    // Gives the answers received so far to their requests, in the order they were sent.
    void takeAnswers();
    // Keeps two warm-up requests before the host while no run has begun, until warmUpCount
    // have been sent.
    void sendWarmUps();
    void warmUpAnswered();
    static constexpr int warmUpCount = 200;

    QProcess* process_ = nullptr;
    // The class archive the host's Java starts with, or writes as it ends.
    JavaStartup::Plan startup_;
    QString toolkit_;
    QByteArray received_;
    // The requests sent and not yet collected, in the order sent.
    struct Request {
        quint64 ticket = 0;
        std::chrono::milliseconds timeLimit{0};
        std::optional<ToolResult> result;
        bool lost = false;
    };
    std::deque<Request> requests_;
    // The first request sent that has neither an answer nor been lost: the one the host is at.
    std::deque<Request>::iterator firstWaiting();
    quint64 nextTicket_ = 1;
    // Waiting for an answer: the event loop turns, and whoever asks for the host meanwhile
    // gets a process of its own.
    bool busy_ = false;
    bool ready_ = false;
    // Warm-up requests whose answers are still to be skipped.
    int warmUps_ = 0;
    // Warm-up requests still to be sent, and the files they change.
    int warmUpsLeft_ = 0;
    QStringList warmUpSamples_;
    bool enabled_ = true;
    // The host could not start for this toolkit; runs go to processes from now on.
    QString unusableFor_;
};
