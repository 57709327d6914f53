#include "DumpReader.h"

#include "PrivateTempFolder.h"

#include <optional>

namespace {

QString trimBlanks(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

// The character an entity body (the text between "&" and ";") stands for, or nothing.
std::optional<QString> entityText(QStringView body) {
    if (body == u"amp")
        return QStringLiteral("&");
    if (body == u"lt")
        return QStringLiteral("<");
    if (body == u"gt")
        return QStringLiteral(">");
    if (body == u"quot")
        return QStringLiteral("\"");
    if (body == u"apos")
        return QStringLiteral("'");
    if (body.size() < 2 || body.at(0) != QLatin1Char('#'))
        return std::nullopt;
    const bool hex = body.at(1) == QLatin1Char('x') || body.at(1) == QLatin1Char('X');
    const QStringView digits = body.mid(hex ? 2 : 1);
    if (digits.isEmpty() || digits.size() > 8)
        return std::nullopt;
    for (QChar c : digits) {
        const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
        const bool hexLetter = (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ||
                               (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
        if (!digit && !(hex && hexLetter))
            return std::nullopt;
    }
    const uint codePoint = digits.toUInt(nullptr, hex ? 16 : 10);
    if (codePoint == 0 || codePoint > 0x10ffff)
        return std::nullopt;
    // A lone surrogate is kept as one unit, so a reference pair still joins into its character.
    if (codePoint >= 0xd800 && codePoint <= 0xdfff)
        return QString(QChar(static_cast<char16_t>(codePoint)));
    const char32_t ucs4 = codePoint;
    return QString::fromUcs4(&ucs4, 1);
}

} // namespace

DumpReader::Values DumpReader::ReadInfoValues(const QString& dumpPath, const QStringList& keys) {
    return parse(PrivateTempFolder::readFile(dumpPath), keys);
}

DumpReader::Values DumpReader::parse(const QByteArray& dump, const QStringList& keys) {
    // The toolkit ends lines with LF here; a CR before it is dropped so CR LF dumps read alike.
    QStringList lines = QString::fromUtf8(dump).split(QLatin1Char('\n'));
    for (QString& line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    if (!lines.isEmpty() && lines.last().isEmpty() && dump.endsWith('\n'))
        lines.removeLast();

    Values values;
    for (qsizetype d = 0; d < lines.size(); ++d) {
        for (const QString& key : keys) {
            if (!lines.at(d).contains(QStringLiteral("InfoKey: ") + key))
                continue;
            if (d + 1 >= lines.size())
                continue;
            QString value = lines.at(d + 1);
            value.remove(QStringLiteral("InfoValue:"));
            values.append({key, decodeEntities(trimBlanks(value))});
        }
    }
    return values;
}

QString DumpReader::decodeEntities(const QString& text) {
    QString decoded;
    decoded.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype end =
            text.at(i) == QLatin1Char('&') ? text.indexOf(QLatin1Char(';'), i) : -1;
        if (end > i) {
            if (const auto replacement = entityText(QStringView(text).mid(i + 1, end - i - 1))) {
                decoded += *replacement;
                i = end + 1;
                continue;
            }
        }
        decoded += text.at(i);
        ++i;
    }
    return decoded;
}
