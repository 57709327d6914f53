#include "ErrorTrap.h"

#include "ErrorReport.h"

#include <QtGlobal>
#include <exception>
#include <utility>

namespace {

const QString unknownFailure = QStringLiteral("Unexpected failure");

} // namespace

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
    QString description;
    try {
        work();
        return true;
    } catch (const std::exception& failure) {
        description = QString::fromUtf8(failure.what());
    } catch (...) {
        description = unknownFailure;
    }
    // Reported outside the catch block: the box runs an event loop of its own, and nothing of
    // the failed step should still be in flight meanwhile.
    report(number, description);
    return false;
}

void ErrorTrap::report(int number, const QString& description) {
    ++failures_;
    ErrorReport::show(description, context_, number);
}

bool ErrorTrap::shielded(const char* where, const std::function<void()>& work) {
    try {
        work();
        return true;
    } catch (const std::exception& failure) {
        qWarning("%s: %s", where, failure.what());
    } catch (...) {
        qWarning("%s: %s", where, qPrintable(unknownFailure));
    }
    return false;
}
