#include "PdfDate.h"

#include <QRegularExpression>
#include <QStringList>
#include <cstdlib>

namespace {
constexpr int maxOffset = 14 * 3600;

// What a text says, before the zone is settled.
struct Reading {
    QDate date;
    QTime time;
    std::optional<int> offset; // seconds ahead of UTC, when the text has a zone
};

std::optional<int> zoneOffset(QChar sign, int hours, int minutes) {
    const int offset = (hours * 60 + minutes) * 60;
    if (minutes > 59 || offset > maxOffset)
        return std::nullopt;
    return sign == QLatin1Char('-') ? -offset : offset;
}

int number(const QRegularExpressionMatch& match, int group, int absent) {
    return match.hasCaptured(group) ? match.captured(group).toInt() : absent;
}

std::optional<Reading> fromPdfForm(const QString& text) {
    // Flat optional pairs fill from the left, so each field is only there when all before it are.
    static const QRegularExpression form(
        QStringLiteral("^(D:)?(\\d{4})(\\d{2})?(\\d{2})?(\\d{2})?(\\d{2})?(\\d{2})?(.*)$"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression zone(
        QStringLiteral("^(?:([+-])(\\d{2})(?:'?(\\d{2}))?'?|Z(?:00'?(?:00'?)?)?)$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch() || (!match.hasCaptured(1) && !match.hasCaptured(4)))
        return std::nullopt;
    Reading reading{QDate(number(match, 2, 0), number(match, 3, 1), number(match, 4, 1)),
                    QTime(number(match, 5, 0), number(match, 6, 0), number(match, 7, 0)),
                    std::nullopt};
    const QString rest = match.captured(8);
    if (!rest.isEmpty()) {
        // Without the hour a sign would make "2024-05" the year 2024 five hours behind UTC.
        const QRegularExpressionMatch zoneMatch = zone.match(rest);
        if (!match.hasCaptured(5) || !zoneMatch.hasMatch())
            return std::nullopt;
        reading.offset = zoneMatch.hasCaptured(1)
                             ? zoneOffset(zoneMatch.captured(1).at(0), number(zoneMatch, 2, 0),
                                          number(zoneMatch, 3, 0))
                             : 0;
        if (!reading.offset)
            return std::nullopt;
    }
    return reading;
}

std::optional<Reading> fromIso(const QString& text) {
    static const QRegularExpression form(
        QStringLiteral("^(\\d{4})-(\\d{1,2})-(\\d{1,2})"
                       "(?:(?:T|\\s+)(\\d{1,2}):(\\d{2})(?::(\\d{2})(?:[.,]\\d+)?)?"
                       "\\s*(?:(Z)|([+-])(\\d{2})(?::?(\\d{2}))?)?)?$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    Reading reading{QDate(number(match, 1, 0), number(match, 2, 0), number(match, 3, 0)),
                    QTime(number(match, 4, 0), number(match, 5, 0), number(match, 6, 0)),
                    std::nullopt};
    if (match.hasCaptured(7)) {
        reading.offset = 0;
    } else if (match.hasCaptured(8)) {
        reading.offset =
            zoneOffset(match.captured(8).at(0), number(match, 9, 0), number(match, 10, 0));
        if (!reading.offset)
            return std::nullopt;
    }
    return reading;
}

bool hasTwoDigitYear(const QString& format) {
    return format.contains(QLatin1String("yy")) && !format.contains(QLatin1String("yyyy"));
}

// The locale's formats spell some spaces as no-break spaces, which nobody types.
QString plainSpaces(QString format) {
    format.replace(QChar(0x00A0), QLatin1Char(' '));
    format.replace(QChar(0x202F), QLatin1Char(' '));
    return format;
}

// Short dates often have a two-digit year, while people type four digits as well.
QString fourDigitYear(const QString& format) {
    static const QRegularExpression twoDigits(QStringLiteral("(?<!y)yy(?!y)"));
    return QString(format).replace(twoDigits, QStringLiteral("yyyy"));
}

QStringList dateFormats(const QLocale& locale) {
    static const QRegularExpression weekday(QStringLiteral("[,\\s]*dddd[,.]?\\s*"));
    const QString shortDate = plainSpaces(locale.dateFormat(QLocale::ShortFormat));
    const QString longDate = plainSpaces(locale.dateFormat(QLocale::LongFormat));
    QStringList formats{shortDate, fourDigitYear(shortDate), longDate, fourDigitYear(longDate),
                        QString(longDate).remove(weekday).trimmed()};
    formats.removeAll(QString());
    formats.removeDuplicates();
    return formats;
}

QStringList timeFormats(const QLocale& locale) {
    const QString shortTime = plainSpaces(locale.timeFormat(QLocale::ShortFormat));
    QString withSeconds = shortTime;
    if (!withSeconds.contains(QLatin1String("ss")))
        withSeconds.replace(QLatin1String("mm"), QLatin1String("mm:ss"));
    QStringList formats{shortTime, withSeconds, QStringLiteral("H:mm"), QStringLiteral("H:mm:ss")};
    formats.removeDuplicates();
    return formats;
}

QDate withCentury(QDate date, const QString& format) {
    // The locale reads "24" as 1924; two digits mean the nearer century for document dates.
    if (hasTwoDigitYear(format) && date.year() < 1969)
        return date.addYears(100);
    return date;
}

std::optional<Reading> fromLocale(const QString& text, const QLocale& locale) {
    const QStringList dates = dateFormats(locale);
    for (const QString& format : dates) {
        const QDate date = locale.toDate(text, format);
        if (date.isValid())
            return Reading{withCentury(date, format), QTime(0, 0), std::nullopt};
    }
    // Read as UTC so that a time the system's own zone skips is not refused or moved; the zone
    // that counts is settled afterwards.
    const QString asUtc = text + QLatin1String(" UTC");
    for (const QString& date : dates) {
        for (const QString& time : timeFormats(locale)) {
            const QString format = date + QLatin1Char(' ') + time;
            const QDateTime when = locale.toDateTime(asUtc, format + QLatin1String(" t"));
            if (when.isValid())
                return Reading{withCentury(when.date(), format), when.time(), std::nullopt};
        }
    }
    return std::nullopt;
}

int localOffset(QDate date, QTime time, const QTimeZone& zone) {
    const QDateTime wallAsUtc(date, time, QTimeZone::utc());
    // A day either side is beyond any offset, so these are the offsets before and after a change
    // near this wall time. The earlier instant wins where the wall time happens twice, and the
    // old offset names a wall time the change skipped.
    const int before = zone.offsetFromUtc(wallAsUtc.addDays(-1));
    const int after = zone.offsetFromUtc(wallAsUtc.addDays(1));
    const bool beforeFits = zone.offsetFromUtc(wallAsUtc.addSecs(-before)) == before;
    const bool afterFits = zone.offsetFromUtc(wallAsUtc.addSecs(-after)) == after;
    return afterFits && !beforeFits ? after : before;
}

QString offsetText(int offset, QLatin1String separator, QLatin1String trailer) {
    const int minutes = std::abs(offset) / 60;
    return QString(offset < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
           QString::number(minutes / 60).rightJustified(2, QLatin1Char('0')) + separator +
           QString::number(minutes % 60).rightJustified(2, QLatin1Char('0')) + trailer;
}
} // namespace

std::optional<QDateTime> PdfDate::parse(const QString& text, const QLocale& locale,
                                        const QTimeZone& localZone) {
    const QString typed = text.simplified();
    if (typed.isEmpty())
        return std::nullopt;
    std::optional<Reading> reading = fromPdfForm(typed);
    if (!reading)
        reading = fromIso(typed);
    if (!reading)
        reading = fromLocale(typed, locale);
    if (!reading || !reading->date.isValid() || !reading->time.isValid())
        return std::nullopt;
    // Local zones of the past have offsets with seconds.
    const int offset = reading->offset
                           ? *reading->offset
                           : localOffset(reading->date, reading->time, localZone) / 60 * 60;
    if (std::abs(offset) > maxOffset)
        return std::nullopt;
    return QDateTime(reading->date, reading->time, QTimeZone(offset));
}

QString PdfDate::toPdf(const QDateTime& when) {
    if (!when.isValid())
        return QString();
    const int offset = when.offsetFromUtc();
    return when.toString(QStringLiteral("'D:'yyyyMMddHHmmss")) +
           (offset / 60 == 0 ? QStringLiteral("Z")
                             : offsetText(offset, QLatin1String("'"), QLatin1String("'")));
}

QString PdfDate::toIso(const QDateTime& when) {
    if (!when.isValid())
        return QString();
    const int offset = when.offsetFromUtc();
    return when.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) +
           (offset / 60 == 0 ? QStringLiteral("Z")
                             : offsetText(offset, QLatin1String(":"), QLatin1String("")));
}

QString PdfDate::acceptedForms(const QLocale& locale) {
    // A day past the twelfth shows which of the locale's numbers is the month.
    const QString iso = QStringLiteral("2024-05-31");
    const QString own = locale.toString(
        QDate(2024, 5, 31), fourDigitYear(plainSpaces(locale.dateFormat(QLocale::ShortFormat))));
    QStringList examples{iso, iso + QLatin1String(" 13:45")};
    if (own != iso)
        examples << own;
    return examples.join(QLatin1String(", ")) + QLatin1String(" or D:20240531134500+02'00'");
}

QString PdfDate::describe(const QDateTime& when, const QLocale& locale) {
    if (!when.isValid())
        return QString();
    QString time = plainSpaces(locale.timeFormat(QLocale::ShortFormat));
    if (when.time().second() != 0 && !time.contains(QLatin1String("ss")))
        time.replace(QLatin1String("mm"), QLatin1String("mm:ss"));
    const int offset = when.offsetFromUtc();
    return locale.toString(when.date(), QLocale::LongFormat) + QLatin1Char(' ') +
           locale.toString(when.time(), time) + QLatin1String(" (UTC") +
           (offset / 60 == 0 ? QString() : offsetText(offset, QLatin1String(":"), {})) +
           QLatin1Char(')');
}
