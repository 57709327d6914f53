#pragma once

#include "Failure.h"

// A result that must not replace its destination; its description is the file's reason.
class Rejection : public Failure {
public:
    explicit Rejection(const QString& reason);
};
