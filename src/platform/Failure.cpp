#include "Failure.h"

#include <cstring>

Failure::Failure(const QString& description) : std::runtime_error(description.toStdString()) {}

QString Failure::description() const {
    return QString::fromUtf8(what());
}

QString Failure::systemText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}
