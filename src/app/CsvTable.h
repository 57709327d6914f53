#pragma once

#include <QChar>
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <optional>

class QIODevice;

// A table of texts as comma-separated values, the form every spreadsheet program reads and
// writes: one row per file for `show`, per-file values for `set`. Rows are read one at a time,
// so a table of any length is never held in memory whole.
class CsvTable {
public:
    // Reads UTF-8 with or without a byte-order mark, "," or ";" between cells (whichever the
    // header row uses more of; "," when it uses neither), rows ended by CRLF, LF or CR, and quoted
    // cells that hold separators, doubled quotes and line breaks. A cell that starts with an
    // apostrophe loses it: the writer puts one before cells a spreadsheet would otherwise take
    // for a formula, a number or a date. Throws Failure for malformed input, naming the row as a
    // spreadsheet numbers it (the header is row 1), such as "row 7: a quoted cell is not closed",
    // also for bytes that are not UTF-8 (a table is never read with characters dropped or
    // replaced) and for a cell or row longer than any a person writes: input without line breaks
    // (a device that never ends) must end with a reason, not with all memory taken.
    class Reader {
    public:
        // Reads the header row at once; device must stay open while rows are read.
        explicit Reader(QIODevice& device);

        const QStringList& header() const { return header_; }
        QChar separator() const { return separator_; }
        // The next row, with as many cells as the header (missing ones empty); nothing at the
        // end. An empty line is no row, but counts in the row numbers.
        std::optional<QStringList> next();
        // The number of the row next() gave last, 1 for the header.
        int rowNumber() const { return rowNumber_; }

        // The longest cell and row, in characters, quotes and line breaks counted.
        static constexpr qsizetype maxCellLength = qsizetype(1) << 20;
        static constexpr qsizetype maxRowLength = qsizetype(16) << 20;

    private:
        // One row's cells as written; nothing at the end of the input.
        std::optional<QStringList> readRecord();
        // The next character, or nothing at the end of the input.
        std::optional<QChar> take();
        std::optional<QChar> peek();
        bool fill();
        [[noreturn]] void malformed(const QString& what) const;
        [[noreturn]] void notUtf8() const;

        QIODevice& device_;
        QStringDecoder decoder_{QStringDecoder::Utf8};
        // Bytes read that end in the first part of a character, kept until the rest comes.
        QByteArray undecoded_;
        // The input goes on with bytes that are not UTF-8, right after what buffer_ holds.
        bool broken_ = false;
        QString buffer_;
        qsizetype position_ = 0;
        QChar separator_ = QLatin1Char(',');
        QStringList header_;
        // Rows begun so far, as a spreadsheet counts them.
        int rowNumber_ = 0;
    };

    // Writes what a spreadsheet program opens into the right cells, also in a locale with a
    // decimal comma, and saves back unchanged: UTF-8 with a byte-order mark (without one,
    // spreadsheet programs take the file for the system's legacy code page), ";" between cells
    // (the list separator where "," is the decimal sign, so "1,5" stays one cell), CRLF after
    // every row, and quotes around every cell holding a separator of either kind, a quote, a line
    // break or blanks at either end. A cell a spreadsheet would not keep as text gets an
    // apostrophe before it, which spreadsheets show as written and the reader removes again:
    // cells starting with "=", "+", "-", "@", a tab, a carriage return or an apostrophe (taken
    // for a formula, which may also run something, or for an apostrophe of ours), and cells that
    // would be read as a number, a date, a time or a truth value ("0012", "2024-05-01", "TRUE"),
    // which would be saved back in another form.
    class Writer {
    public:
        // Writes the byte-order mark at once.
        explicit Writer(QIODevice& device);
        // Throws Failure when the device refuses the bytes.
        void writeRow(const QStringList& cells);

    private:
        QIODevice& device_;
    };

    static constexpr QChar writtenSeparator = QLatin1Char(';');
    // The text of one cell as the writer writes it.
    static QString cellText(const QString& value);
};
