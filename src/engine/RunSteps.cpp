#include "RunSteps.h"

#include "ErrorTrap.h"
#include "Failure.h"

#include <optional>

bool RunSteps::step(RunStep step, const std::function<void()>& work) {
    // Reported after the work has unwound: the window's report runs an event loop of its own,
    // and nothing of the failed step should still be in flight meanwhile.
    const std::optional<Failure> failed = ErrorTrap::failureOf(work);
    if (!failed)
        return true;
    host_.stepFailed(step, *failed);
    return false;
}
