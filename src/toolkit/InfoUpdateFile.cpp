#include "InfoUpdateFile.h"

#include "PrivateTempFolder.h"

#include <QList>

namespace {
const QByteArray lineEnd = QByteArrayLiteral("\r\n");

QByteArray entry(const QString& key, const QString& value) {
    return QByteArrayLiteral("InfoBegin") + lineEnd + QByteArrayLiteral("InfoKey: ") +
           key.toLatin1() + lineEnd + QByteArrayLiteral("InfoValue: ") +
           InfoUpdateFile::encodeValue(value) + lineEnd;
}
} // namespace

QByteArray InfoUpdateFile::content(const EditPlan& plan, const QString& titleFromName) {
    QByteArray bytes;
    for (InfoField field : EditPlan::fields) {
        const std::optional<QString> value = plan.value(field, titleFromName);
        if (value)
            bytes += entry(EditPlan::toolkitKey(field), *value);
    }
    const QMap<QString, std::optional<QString>>& others = plan.otherKeys();
    for (auto key = others.cbegin(); key != others.cend(); ++key) {
        // The toolkit would write Trapped as a string; it is a name, set when the result is
        // finished, as removals are.
        if (key.value() && key.key() != EditPlan::trappedKey())
            bytes += entry(key.key(), *key.value());
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
