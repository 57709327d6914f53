#include "FieldTemplate.h"

#include "EditPlan.h"
#include "PdfDate.h"

#include <QRegularExpression>
#include <utility>

std::variant<FieldTemplate, QString> FieldTemplate::parse(const QString& text) {
    FieldTemplate made;
    made.text_ = text;
    QString literal;
    for (qsizetype at = 0; at < text.size(); ++at) {
        const QChar c = text.at(at);
        const bool doubled = at + 1 < text.size() && text.at(at + 1) == c;
        if ((c == QLatin1Char('{') || c == QLatin1Char('}')) && doubled) {
            literal += c;
            ++at;
            continue;
        }
        if (c == QLatin1Char('}'))
            return QStringLiteral("a } without its { (write }} for a brace)");
        if (c != QLatin1Char('{')) {
            literal += c;
            continue;
        }
        const qsizetype end = text.indexOf(QLatin1Char('}'), at + 1);
        const qsizetype nextOpen = text.indexOf(QLatin1Char('{'), at + 1);
        if (end < 0 || (nextOpen >= 0 && nextOpen < end))
            return QStringLiteral("an unclosed brace after \"%1\" (write {{ for a brace)")
                .arg(text.left(at));
        const QString name = text.mid(at + 1, end - at - 1);
        // Any key a file could have: the same names --remove takes.
        if (!isFileKey(name) && name != copyrightKey() &&
            !EditPlan::keyProblem(EditPlan::keyNamed(name).key, std::nullopt).isEmpty())
            return QStringLiteral("{%1} is no placeholder: use {name}, {folder}, {copyright}, "
                                  "{file-date} or a key such as {Title}")
                .arg(name);
        if (!literal.isEmpty())
            made.parts_.append({std::exchange(literal, QString()), false});
        made.parts_.append({name, true});
        at = end;
    }
    if (!literal.isEmpty())
        made.parts_.append({literal, false});
    return made;
}

bool FieldTemplate::isFileKey(const QString& placeholder) {
    return placeholder == nameKey() || placeholder == folderKey() || placeholder == fileDateKey();
}

QString FieldTemplate::fill(const FileFacts& facts, bool forDate, QStringList* missing) const {
    QString filled;
    for (const Part& part : parts_) {
        if (!part.placeholder) {
            filled += part.text;
            continue;
        }
        std::optional<QString> value;
        if (part.text == nameKey())
            value = facts.name;
        else if (part.text == folderKey())
            value = facts.folder;
        else if (part.text == fileDateKey())
            value = !facts.modified.isValid() ? std::nullopt
                    : forDate
                        ? std::optional(PdfDate::toPdf(facts.modified))
                        : std::optional(facts.modified.toString(QStringLiteral("yyyy-MM-dd")));
        else if (part.text == copyrightKey())
            value = facts.copyright;
        else {
            // Named as --remove names keys; two keys the name could both be give neither.
            const QStringList keys =
                EditPlan::keysFor(EditPlan::keyNamed(part.text), facts.info.keys());
            if (keys.size() == 1 && facts.info.contains(keys.first()))
                value = facts.info.value(keys.first());
        }
        if (!value && missing)
            missing->append(part.text);
        filled += value.value_or(QString());
    }
    return filled;
}

std::optional<QMap<QString, QString>> FieldTemplate::match(const QString& text) const {
    QString pattern;
    for (const Part& part : parts_)
        pattern +=
            part.placeholder ? QStringLiteral("(.+?)") : QRegularExpression::escape(part.text);
    const QRegularExpression expression(QRegularExpression::anchoredPattern(pattern),
                                        QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch found = expression.match(text);
    if (!found.hasMatch())
        return std::nullopt;
    QMap<QString, QString> values;
    int group = 0;
    for (const Part& part : parts_) {
        if (part.placeholder)
            values.insert(part.text, found.captured(++group));
    }
    return values;
}

QStringList FieldTemplate::placeholders() const {
    QStringList names;
    for (const Part& part : parts_) {
        if (part.placeholder)
            names << part.text;
    }
    return names;
}

QString FieldTemplate::literalText() const {
    QString literal;
    for (const Part& part : parts_) {
        if (!part.placeholder)
            literal += part.text;
    }
    return literal;
}

bool FieldTemplate::usesCopyright() const {
    return placeholders().contains(copyrightKey());
}
