#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTimeZone>
#include <optional>

// The creation and modification dates as users type them, and as the document information and
// the XMP metadata must hold them. Readers misread or show raw any date that is not in their own
// form, so a date field is only written once its text reads as a date here. Every function may
// run on any thread.
class PdfDate {
public:
    // The date and time the text means, or nothing when it is not a valid date. Surrounding
    // spaces are ignored. Read in this order:
    // - the document information's own form, "D:YYYYMMDDHHmmSSOHH'mm'" cut after any field
    //   ("D:2024", "D:20240501", "D:2024050113", ...), the zone "+HH'mm'", "-HH'mm'", "+HH" or
    //   "Z" once at least the hour is there, the apostrophes optional, "Z00'00'" read as "Z";
    //   "D:" may be left out once year, month and day are all there (not before: "240501" would
    //   silently become the year 2405);
    // - ISO 8601 dates, "2024-05-01", optionally followed by "T" or a space, the time ("13:45",
    //   "13:45:00", fractions of a second dropped) and a zone ("Z", "+02:00", "+0200", "+02");
    // - the locale's short or long date (the long one also without its weekday), optionally
    //   followed by its short time, its short time with seconds or a 24-hour "13:45". A
    //   two-digit year is 1969 to 2068.
    // A text without a zone is a time in localZone, with the offset that zone has at that date:
    // in a time that zone skips the offset before the change, in one it repeats the earlier of
    // the two. The offset is then whole minutes, as PDF and XMP cannot hold seconds. A typed zone
    // is kept as typed, never converted. The result always has a fixed UTC offset of at most 14
    // hours either way and no milliseconds.
    static std::optional<QDateTime> parse(const QString& text,
                                          const QLocale& locale = QLocale::system(),
                                          const QTimeZone& localZone = QTimeZone::systemTimeZone());

    // "D:YYYYMMDDHHmmSS+HH'mm'" with the offset when carries, so the wall time written is the one
    // the user typed. Offset zero is written "Z", which every reader takes as UTC. Empty for an
    // invalid when; a year outside 1 to 9999 does not fit the form.
    static QString toPdf(const QDateTime& when);

    // "YYYY-MM-DDTHH:mm:SS+HH:MM" (offset zero as "Z") with the offset when carries, as XMP
    // holds dates. Empty for an invalid when.
    static QString toIso(const QDateTime& when);

    // One sentence of examples a user can type, the locale's own short date among them, for a
    // message that a text is not a date.
    static QString acceptedForms(const QLocale& locale = QLocale::system());

    // How a parsed date will be read: the locale's long date, its short time (with seconds when
    // there are any) and the offset, e.g. "Wednesday, 1 May 2024 00:00 (UTC+02:00)". For a tip
    // shown while the user types. Empty for an invalid when.
    static QString describe(const QDateTime& when, const QLocale& locale = QLocale::system());
};
