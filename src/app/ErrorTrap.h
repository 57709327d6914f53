#pragma once

#include "Failure.h"

#include <QString>
#include <functional>
#include <optional>

// The failure trap of an event handler. The handler runs its work as numbered steps; a step
// that throws is reported once (description, the handler's context and the step number) and the
// handler goes on with its next step. A failure inside a routine the step calls is reported the
// same way, with this handler's context and the calling step's number.
//
//     ErrorTrap trap(QStringLiteral("in Metascribe2021/08/31.Form1.Form_Load "));
//     trap.step(100, [&] { ... });
//     if (trap.test(102, [&] { return settingIsOn(); })) { trap.step(104, ...); }
class ErrorTrap {
public:
    explicit ErrorTrap(QString context);

    void step(int number, const std::function<void()>& statement);

    // The test of a conditional. A test that fails is reported and counts as passed, so the
    // steps it guards run (and an else branch does not).
    bool test(int number, const std::function<bool()>& condition);

    // Reports a failure of step number that happened outside the trap, in work the handler
    // handed on (the batch engine's steps), as the trap reports its own.
    void report(int number, const QString& description);

    // The number of reports this handler run has shown.
    int failures() const { return failures_; }

    // For handlers without a trap: a failure must never travel into Qt's event loop, so it is
    // logged and dropped here. Gives false when the work failed.
    static bool shielded(const char* where, const std::function<void()>& work);

    // Runs the work and gives what it threw as a Failure (the description the report shows: a
    // Failure as it is, any other exception by its text); nothing when it did not throw.
    static std::optional<Failure> failureOf(const std::function<void()>& work);

private:
    // Runs the work; a failure is reported and false given.
    bool attempt(int number, const std::function<void()>& work);

    QString context_;
    int failures_ = 0;
};
