#pragma once

#include <QString>
#include <functional>

// The description of the Failure work throws, as the error report would show it; empty when work
// throws none. Anything else work throws goes on to the test.
QString failureOf(const std::function<void()>& work);
