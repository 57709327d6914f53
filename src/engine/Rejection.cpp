#include "Rejection.h"

Rejection::Rejection(const QString& reason) : Failure(reason) {}
