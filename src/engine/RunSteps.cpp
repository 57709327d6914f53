#include "RunSteps.h"

#include "Failure.h"

#include <exception>
#include <optional>

bool RunSteps::step(RunStep step, const std::function<void()>& work) {
    std::optional<Failure> failed;
    try {
        work();
        return true;
    } catch (const Failure& failure) {
        failed = failure;
    } catch (const std::exception& failure) {
        failed.emplace(QString::fromUtf8(failure.what()));
    } catch (...) {
        failed.emplace(QStringLiteral("Unexpected failure"));
    }
    // Reported outside the catch block: the window's report runs an event loop of its own, and
    // nothing of the failed step should still be in flight meanwhile.
    host_.stepFailed(step, *failed);
    return false;
}
