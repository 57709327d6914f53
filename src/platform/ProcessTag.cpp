#include "ProcessTag.h"

#include <QFile>
#include <QRegularExpression>
#include <unistd.h>

QString ProcessTag::startTime(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = stat.readAll();
    // The command name in parentheses may itself hold spaces and parentheses.
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0)
        return {};
    const QList<QByteArray> fields = line.mid(close + 2).split(' ');
    // Field 22 of the whole line, counted from the state, which is field 3.
    constexpr int startField = 22 - 3;
    if (fields.size() <= startField)
        return {};
    return QString::fromLatin1(fields.at(startField));
}

QString ProcessTag::own() {
    static const QString tag = [] {
        const qint64 pid = ::getpid();
        return QString::number(pid) + QLatin1Char('.') + startTime(pid);
    }();
    return tag;
}

bool ProcessTag::isLive(const QString& tag) {
    const qsizetype dot = tag.indexOf(QLatin1Char('.'));
    bool ok = false;
    const qint64 pid = tag.left(dot).toLongLong(&ok);
    if (dot <= 0 || !ok || pid <= 0)
        return false;
    const QString started = startTime(pid);
    return !started.isEmpty() && started == tag.mid(dot + 1);
}

QString ProcessTag::tagOf(const QString& fileName, const QString& prefix, const QString& suffix) {
    const QRegularExpression form(QLatin1Char('^') + QRegularExpression::escape(prefix) +
                                  QStringLiteral("([0-9]+\\.[0-9]+)-[A-Za-z0-9]{6}") +
                                  QRegularExpression::escape(suffix) + QLatin1Char('$'));
    const QRegularExpressionMatch match = form.match(fileName);
    return match.hasMatch() ? match.captured(1) : QString();
}

QString ProcessTag::leftoverName(const QString& prefix, const QString& suffix) {
    return prefix + own() + QStringLiteral("-XXXXXX") + suffix;
}
