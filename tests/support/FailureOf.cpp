#include "FailureOf.h"

#include "Failure.h"

QString failureOf(const std::function<void()>& work) {
    try {
        work();
    } catch (const Failure& failure) {
        return failure.description();
    }
    return {};
}
