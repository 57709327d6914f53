#include "WindowPointer.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPixmap>
#include <QWidget>
#include <QtEndian>

namespace {
const char statePropertyName[] = "metascribePointerState";
const char customPropertyName[] = "metascribeCustomPointer";
} // namespace

WindowPointer::State WindowPointer::state(const QWidget* window) {
    const QVariant value = window->property(statePropertyName);
    return value.isValid() ? static_cast<State>(value.toInt()) : State::Default;
}

void WindowPointer::set(QWidget* window, State newState) {
    window->setProperty(statePropertyName, static_cast<int>(newState));
    switch (newState) {
    case State::Default:
        window->setCursor(Qt::ArrowCursor);
        break;
    case State::Wait:
        window->setCursor(Qt::WaitCursor);
        break;
    case State::Custom: {
        const QVariant custom = window->property(customPropertyName);
        window->setCursor(custom.isValid() ? custom.value<QCursor>()
                                           : QCursor(Qt::PointingHandCursor));
        break;
    }
    }
}

bool WindowPointer::loadCustom(QWidget* window, const QString& cursorFile) {
    const std::optional<QCursor> cursor = readCursorFile(cursorFile);
    if (!cursor)
        return false;
    window->setProperty(customPropertyName, QVariant::fromValue(*cursor));
    return true;
}

std::optional<QCursor> WindowPointer::readCursorFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.read(1 << 20);
    // Header: reserved 0, type 2 (cursor), image count; then 16-byte entries whose bytes 4..7
    // hold the hot spot.
    constexpr int headerSize = 6;
    constexpr int entrySize = 16;
    if (bytes.size() < headerSize + entrySize ||
        qFromLittleEndian<quint16>(bytes.constData() + 2) != 2)
        return std::nullopt;
    const int hotX = qFromLittleEndian<quint16>(bytes.constData() + headerSize + 4);
    const int hotY = qFromLittleEndian<quint16>(bytes.constData() + headerSize + 6);
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer, "cur");
    const QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    return QCursor(QPixmap::fromImage(image), hotX, hotY);
}
