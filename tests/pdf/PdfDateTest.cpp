#include "PdfDate.h"

#include <QTest>
#include <ctime>

namespace {
const QLocale german(QLocale::German, QLocale::Germany);
const QLocale american(QLocale::English, QLocale::UnitedStates);
const QLocale british(QLocale::English, QLocale::UnitedKingdom);
const QLocale swedish(QLocale::Swedish, QLocale::Sweden);
} // namespace

class PdfDateTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // A system zone with summer time, so that nothing can lean on the system's own reading of
        // a wall time instead of the zone it is given.
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }

    void accepted_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QString>("pdf");
        QTest::addColumn<QString>("iso");
        const QByteArray berlin = "Europe/Berlin";
        const QByteArray newYork = "America/New_York";

        QTest::newRow("typed offset kept, not converted")
            << "D:20240501134500-05'00'" << german << berlin << "D:20240501134500-05'00'"
            << "2024-05-01T13:45:00-05:00";
        QTest::newRow("year alone, winter")
            << "D:2024" << german << berlin << "D:20240101000000+01'00'"
            << "2024-01-01T00:00:00+01:00";
        QTest::newRow("to the minute without D:, summer")
            << "202407011230" << german << berlin << "D:20240701123000+02'00'"
            << "2024-07-01T12:30:00+02:00";
        QTest::newRow("zone after the hour, one apostrophe")
            << "d:2024050113-08'" << german << berlin << "D:20240501130000-08'00'"
            << "2024-05-01T13:00:00-08:00";
        QTest::newRow("offset without apostrophes")
            << "D:20240501134500+0530" << german << berlin << "D:20240501134500+05'30'"
            << "2024-05-01T13:45:00+05:30";
        QTest::newRow("Z with zero digits")
            << "D:20240501134500Z00'00'" << german << berlin << "D:20240501134500Z"
            << "2024-05-01T13:45:00Z";
        QTest::newRow("ISO date, summer")
            << "2024-05-01" << german << berlin << "D:20240501000000+02'00'"
            << "2024-05-01T00:00:00+02:00";
        QTest::newRow("ISO date, winter, blanks around")
            << "  2024-12-24 " << german << berlin << "D:20241224000000+01'00'"
            << "2024-12-24T00:00:00+01:00";
        QTest::newRow("ISO with a space and single digits")
            << "2024-5-1 9:05" << german << berlin << "D:20240501090500+02'00'"
            << "2024-05-01T09:05:00+02:00";
        QTest::newRow("ISO fraction dropped, not rounded")
            << "2024-05-01T13:45:59.9Z" << german << berlin << "D:20240501134559Z"
            << "2024-05-01T13:45:59Z";
        QTest::newRow("ISO compact offset beats the local zone")
            << "2024-12-24T18:00+0200" << american << newYork << "D:20241224180000+02'00'"
            << "2024-12-24T18:00:00+02:00";
        QTest::newRow("ISO hours-only offset after a blank")
            << "2024-12-24T18:00:30 -03" << american << newYork << "D:20241224180030-03'00'"
            << "2024-12-24T18:00:30-03:00";
        QTest::newRow("ISO furthest east")
            << "2024-12-31T23:59:59+14:00" << german << berlin << "D:20241231235959+14'00'"
            << "2024-12-31T23:59:59+14:00";
        QTest::newRow("German short date")
            << "31.05.2024" << german << berlin << "D:20240531000000+02'00'"
            << "2024-05-31T00:00:00+02:00";
        QTest::newRow("German two-digit year")
            << "31.05.24" << german << berlin << "D:20240531000000+02'00'"
            << "2024-05-31T00:00:00+02:00";
        QTest::newRow("German two-digit year of the last century")
            << "31.12.99" << german << berlin << "D:19991231000000+01'00'"
            << "1999-12-31T00:00:00+01:00";
        QTest::newRow("US time with seconds")
            << "5/31/2024 1:45:10 PM" << american << newYork << "D:20240531134510-04'00'"
            << "2024-05-31T13:45:10-04:00";
        QTest::newRow("German long date")
            << "Freitag, 31. Mai 2024" << german << berlin << "D:20240531000000+02'00'"
            << "2024-05-31T00:00:00+02:00";
        QTest::newRow("German long date without weekday")
            << "31. Mai 2024" << german << berlin << "D:20240531000000+02'00'"
            << "2024-05-31T00:00:00+02:00";
        QTest::newRow("US short date, New York summer")
            << "5/31/2024" << american << newYork << "D:20240531000000-04'00'"
            << "2024-05-31T00:00:00-04:00";
        QTest::newRow("US two-digit year and pm")
            << "5/31/24 1:45 pm" << american << newYork << "D:20240531134500-04'00'"
            << "2024-05-31T13:45:00-04:00";
        QTest::newRow("US 24-hour time, winter")
            << "12/24/2024 18:00" << american << newYork << "D:20241224180000-05'00'"
            << "2024-12-24T18:00:00-05:00";
        QTest::newRow("skipped hour keeps the old offset")
            << "2024-03-31 02:30" << german << berlin << "D:20240331023000+01'00'"
            << "2024-03-31T02:30:00+01:00";
        QTest::newRow("skipped hour in the locale's form")
            << "31.03.2024 02:30" << german << berlin << "D:20240331023000+01'00'"
            << "2024-03-31T02:30:00+01:00";
        QTest::newRow("after the change on its day")
            << "2024-03-31 03:30" << german << berlin << "D:20240331033000+02'00'"
            << "2024-03-31T03:30:00+02:00";
        QTest::newRow("repeated hour takes the earlier")
            << "2024-10-27 02:30" << german << berlin << "D:20241027023000+02'00'"
            << "2024-10-27T02:30:00+02:00";
        QTest::newRow("local mean time in whole minutes")
            << "D:1850" << german << berlin << "D:18500101000000+00'53'"
            << "1850-01-01T00:00:00+00:53";
        QTest::newRow("year one in UTC")
            << "D:00010101" << german << QByteArray("UTC") << "D:00010101000000Z"
            << "0001-01-01T00:00:00Z";
    }
    void accepted() {
        QFETCH(QString, text);
        QFETCH(QLocale, locale);
        QFETCH(QByteArray, zone);
        QFETCH(QString, pdf);
        QFETCH(QString, iso);
        const std::optional<QDateTime> parsed = PdfDate::parse(text, locale, QTimeZone(zone));
        QVERIFY(parsed);
        QCOMPARE(PdfDate::toPdf(*parsed), pdf);
        QCOMPARE(PdfDate::toIso(*parsed), iso);
        // Both written forms read back as the same moment and offset wherever they are read.
        for (const QString& written : {pdf, iso}) {
            const std::optional<QDateTime> again =
                PdfDate::parse(written, QLocale::c(), QTimeZone("Pacific/Auckland"));
            QVERIFY2(again, qPrintable(written));
            QCOMPARE(*again, *parsed);
            QCOMPARE(again->offsetFromUtc(), parsed->offsetFromUtc());
        }
    }

    void rejected_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("only blanks") << " \t " << german;
        QTest::newRow("a word") << "yesterday" << american;
        QTest::newRow("month 13") << "2024-13-01" << german;
        QTest::newRow("February 30") << "2024-02-30" << german;
        QTest::newRow("February 31 in the locale") << "31/02/2024" << british;
        QTest::newRow("day first where the month comes first") << "31/05/2024" << american;
        QTest::newRow("letters after the year") << "D:2024AB" << german;
        QTest::newRow("odd number of digits") << "D:20240" << german;
        QTest::newRow("six digits without D:") << "240501" << german;
        QTest::newRow("zone before the hour") << "D:2024-05" << german;
        QTest::newRow("hour 24") << "D:2024050124" << german;
        QTest::newRow("minute 60") << "D:202405011360" << german;
        QTest::newRow("second 60") << "2024-05-01T13:45:60" << german;
        QTest::newRow("offset beyond 14 hours") << "D:20240501134500+14'30'" << german;
        QTest::newRow("offset minute 60") << "2024-05-01T13:45+02:60" << german;
        QTest::newRow("Z with an offset") << "D:20240501134500Z05'00'" << german;
        QTest::newRow("words after a date") << "2024-05-01 noon" << german;
    }
    void rejected() {
        QFETCH(QString, text);
        QFETCH(QLocale, locale);
        const std::optional<QDateTime> parsed =
            PdfDate::parse(text, locale, QTimeZone("Europe/Berlin"));
        QVERIFY2(!parsed, qPrintable(parsed ? PdfDate::toIso(*parsed) : QString()));
    }

    void wording_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QString>("forms");
        QTest::addColumn<QString>("description");
        QTest::newRow("German") << german
                                << QDateTime(QDate(2024, 5, 1), QTime(0, 0), QTimeZone(7200))
                                << "2024-05-31, 2024-05-31 13:45, 31.05.2024 or "
                                   "D:20240531134500+02'00'"
                                << "Mittwoch, 1. Mai 2024 00:00 (UTC+02:00)";
        QTest::newRow("American, seconds shown")
            << american << QDateTime(QDate(2024, 5, 31), QTime(13, 45, 7), QTimeZone::utc())
            << "2024-05-31, 2024-05-31 13:45, 5/31/2024 or D:20240531134500+02'00'"
            << "Friday, May 31, 2024 1:45:07 PM (UTC)";
        QTest::newRow("Swedish short date is ISO")
            << swedish << QDateTime(QDate(2024, 5, 31), QTime(8, 5), QTimeZone(-12600))
            << "2024-05-31, 2024-05-31 13:45 or D:20240531134500+02'00'"
            << "fredag 31 maj 2024 08:05 (UTC-03:30)";
    }
    void wording() {
        QFETCH(QLocale, locale);
        QFETCH(QDateTime, when);
        QFETCH(QString, forms);
        QFETCH(QString, description);
        QCOMPARE(PdfDate::acceptedForms(locale), forms);
        QCOMPARE(PdfDate::describe(when, locale), description);
    }
};

QTEST_GUILESS_MAIN(PdfDateTest)
#include "PdfDateTest.moc"
