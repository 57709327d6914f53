#include "ErrorTrap.h"

#include "ErrorReport.h"

#include <QtGlobal>
#include <utility>

ErrorTrap::ErrorTrap(QString context) : context_(std::move(context)) {}

void ErrorTrap::step(int number, const std::function<void()>& statement) {
    attempt(number, statement);
}

bool ErrorTrap::test(int number, const std::function<bool()>& condition) {
    bool passed = true;
    attempt(number, [&] { passed = condition(); });
    return passed;
}

bool ErrorTrap::attempt(int number, const std::function<void()>& work) {
    // Reported outside the catch block: the box runs an event loop of its own, and nothing of
    // the failed step should still be in flight meanwhile.
    const std::optional<Failure> failure = failureOf(work);
    if (!failure)
        return true;
    report(number, failure->description());
    return false;
}

void ErrorTrap::report(int number, const QString& description) {
    ++failures_;
    ErrorReport::show(description, context_, number);
}

bool ErrorTrap::shielded(const char* where, const std::function<void()>& work) {
    const std::optional<Failure> failure = failureOf(work);
    if (failure)
        qWarning("%s: %s", where, failure->what());
    return !failure;
}

std::optional<Failure> ErrorTrap::failureOf(const std::function<void()>& work) {
    try {
        work();
        return std::nullopt;
    } catch (const Failure& failure) {
        return failure;
    } catch (const std::exception& failure) {
        return Failure(QString::fromUtf8(failure.what()));
    } catch (...) {
        return Failure(QStringLiteral("Unexpected failure"));
    }
}
