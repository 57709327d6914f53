#include "Failure.h"

#include <cstring>

Failure::Failure(const QString& description) : std::runtime_error(description.toStdString()) {}

Failure::Failure(const QString& description, const QString& detail)
    : std::runtime_error(description.toStdString()), detail_(detail) {}

QString Failure::description() const {
    return QString::fromUtf8(what());
}

QString Failure::systemText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString Failure::systemReason(int error) {
    QString text = systemText(error);
    if (!text.isEmpty())
        text[0] = text[0].toLower();
    return text;
}
