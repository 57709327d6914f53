#pragma once

#include "BatchEngine.h"
#include "RunStep.h"

#include <functional>

// Runs the engine's numbered steps. What a step throws is reported to the host with the step's
// number, and the run goes on with the next step, as the window's handlers do with theirs.
class RunSteps {
public:
    explicit RunSteps(BatchEngine::Host& host) : host_(host) {}

    // False when the work failed, after the report.
    bool step(RunStep step, const std::function<void()>& work);

private:
    BatchEngine::Host& host_;
};
