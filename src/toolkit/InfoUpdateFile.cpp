#include "InfoUpdateFile.h"

#include "PrivateTempFolder.h"

#include <QList>

namespace {
const QByteArray lineEnd = QByteArrayLiteral("\r\n");
}

QByteArray InfoUpdateFile::content(const EditPlan& plan, const QString& titleFromName) {
    QByteArray bytes;
    for (InfoField field : EditPlan::fields) {
        const std::optional<QString> value = plan.value(field, titleFromName);
        if (!value)
            continue;
        bytes += QByteArrayLiteral("InfoBegin") + lineEnd;
        bytes += QByteArrayLiteral("InfoKey: ") + EditPlan::toolkitKey(field).toLatin1() + lineEnd;
        bytes += QByteArrayLiteral("InfoValue: ") + encodeValue(*value) + lineEnd;
    }
    return bytes + lineEnd;
}

QByteArray InfoUpdateFile::encodeValue(const QString& value) {
    QByteArray encoded;
    encoded.reserve(value.size());
    const QList<uint> codePoints = value.toUcs4();
    for (uint codePoint : codePoints) {
        if (codePoint == '&')
            encoded += QByteArrayLiteral("&amp;");
        else if (codePoint >= 0x20 && codePoint <= 0x7e)
            encoded += static_cast<char>(codePoint);
        else
            encoded += "&#" + QByteArray::number(codePoint) + ';';
    }
    return encoded;
}

void InfoUpdateFile::write(const QString& path, const QByteArray& content) {
    PrivateTempFolder::writeFile(path, content);
}
