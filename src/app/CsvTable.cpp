#include "CsvTable.h"

#include "Failure.h"

#include <QIODevice>
#include <QRegularExpression>

namespace {

constexpr QChar quote = QLatin1Char('"');
constexpr QChar apostrophe = QLatin1Char('\'');
constexpr QChar carriageReturn = QLatin1Char('\r');
constexpr QChar lineFeed = QLatin1Char('\n');
constexpr qint64 chunkSize = 64 * 1024;

// What a spreadsheet would turn into a formula, a number, a date or a truth value, and save back
// in another form, or what would lose an apostrophe of its own to the reader.
bool needsApostrophe(const QString& value) {
    if (value.isEmpty())
        return false;
    static const QString formulaStarts = QStringLiteral("=+-@\t\r'");
    if (formulaStarts.contains(value.front()))
        return true;
    // Digits with what numbers, amounts, percentages, dates and times are written with: "0012",
    // "1,5", "(5)", "50 %", "2024-05-01", "1/2", "10:30", "1E5".
    static const QRegularExpression numeric(
        QStringLiteral("^[(.$\u20ac\u00a3]?[0-9][0-9 .,:/%()eE-]*$"));
    if (numeric.match(value).hasMatch())
        return true;
    return value.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0 ||
           value.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0;
}

bool needsQuotes(const QString& text) {
    for (const QChar c : text) {
        if (c == CsvTable::writtenSeparator || c == QLatin1Char(',') || c == quote ||
            c == carriageReturn || c == lineFeed)
            return true;
    }
    return !text.isEmpty() && (text.front().isSpace() || text.back().isSpace());
}

// A cell as it was meant: without the apostrophe the writer puts before what a spreadsheet would
// not keep as text.
QString meant(const QString& cell) {
    return cell.startsWith(apostrophe) ? cell.mid(1) : cell;
}

// How many of bytes are whole UTF-8 characters, and whether what follows them is no UTF-8 at all
// rather than the first part of a character the next bytes may complete. Strict as the standard
// is: no overlong forms, no surrogates, nothing beyond U+10FFFF.
struct Utf8Scan {
    qsizetype whole = 0;
    bool broken = false;
};

Utf8Scan scanUtf8(QByteArrayView bytes) {
    const qsizetype size = bytes.size();
    qsizetype at = 0;
    while (at < size) {
        const auto lead = static_cast<unsigned char>(bytes[at]);
        if (lead < 0x80) {
            ++at;
            continue;
        }
        qsizetype length = 0;
        // The range the second byte must be in; the others are all 0x80..0xBF.
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0)
                low = 0xA0;
            else if (lead == 0xED)
                high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0)
                low = 0x90;
            else if (lead == 0xF4)
                high = 0x8F;
        } else {
            return {at, true};
        }
        for (qsizetype next = 1; next < length; ++next) {
            if (at + next >= size)
                return {at, false};
            const auto byte = static_cast<unsigned char>(bytes[at + next]);
            if (byte < (next == 1 ? low : 0x80) || byte > (next == 1 ? high : 0xBF))
                return {at, true};
        }
        at += length;
    }
    return {size, false};
}

} // namespace

CsvTable::Reader::Reader(QIODevice& device) : device_(device) {
    // The separator is the one the header row uses more of, quoted text not counted.
    int commas = 0;
    int semicolons = 0;
    bool quoted = false;
    // A header longer than a row may be is refused by readRecord below.
    for (qsizetype offset = 0; offset < maxRowLength; ++offset) {
        if (position_ + offset >= buffer_.size() && !fill())
            break;
        const QChar c = buffer_.at(position_ + offset);
        if (c == quote)
            quoted = !quoted;
        else if (!quoted && (c == carriageReturn || c == lineFeed))
            break;
        else if (!quoted && c == QLatin1Char(','))
            ++commas;
        else if (!quoted && c == QLatin1Char(';'))
            ++semicolons;
    }
    separator_ = semicolons > commas ? QLatin1Char(';') : QLatin1Char(',');
    std::optional<QStringList> header = readRecord();
    if (!header)
        throw Failure(QStringLiteral("the table is empty: it has no header row"));
    for (QString& cell : *header)
        cell = meant(cell);
    header_ = *header;
}

std::optional<QStringList> CsvTable::Reader::next() {
    for (;;) {
        std::optional<QStringList> cells = readRecord();
        if (!cells)
            return std::nullopt;
        // An empty line is what a spreadsheet leaves for a row with nothing in it.
        if (cells->size() == 1 && cells->front().isEmpty())
            continue;
        if (cells->size() > header_.size())
            malformed(QStringLiteral("it has %1 cells, but the header row only %2")
                          .arg(cells->size())
                          .arg(header_.size()));
        for (QString& cell : *cells)
            cell = meant(cell);
        while (cells->size() < header_.size())
            cells->append(QString());
        return cells;
    }
}

std::optional<QStringList> CsvTable::Reader::readRecord() {
    if (!peek()) {
        if (!broken_)
            return std::nullopt;
        ++rowNumber_;
        notUtf8();
    }
    ++rowNumber_;
    enum class State { CellStart, Plain, Quoted, AfterQuote };
    State state = State::CellStart;
    QStringList cells;
    QString cell;
    for (qsizetype length = 1;; ++length) {
        if (length > maxRowLength)
            malformed(QStringLiteral("it is longer than %1 characters").arg(maxRowLength));
        if (cell.size() > maxCellLength)
            malformed(QStringLiteral("cell %1 is longer than %2 characters")
                          .arg(cells.size() + 1)
                          .arg(maxCellLength));
        const std::optional<QChar> next = take();
        if (!next) {
            if (broken_)
                notUtf8();
            if (state == State::Quoted)
                malformed(QStringLiteral("a quoted cell is not closed"));
            cells << cell;
            return cells;
        }
        const QChar c = *next;
        if (state == State::Quoted) {
            if (c != quote)
                cell += c;
            else if (peek() == quote)
                cell += *take();
            else
                state = State::AfterQuote;
            continue;
        }
        if (c == separator_) {
            cells << cell;
            cell.clear();
            state = State::CellStart;
        } else if (c == carriageReturn || c == lineFeed) {
            if (c == carriageReturn && peek() == lineFeed)
                take();
            cells << cell;
            return cells;
        } else if (state == State::AfterQuote) {
            malformed(
                QStringLiteral("cell %1 has text after its closing quote").arg(cells.size() + 1));
        } else if (c == quote && state == State::CellStart) {
            state = State::Quoted;
        } else {
            // A quote inside a cell that does not start with one is a character like any other.
            cell += c;
            state = State::Plain;
        }
    }
}

std::optional<QChar> CsvTable::Reader::take() {
    if (position_ >= buffer_.size() && !fill())
        return std::nullopt;
    return buffer_.at(position_++);
}

std::optional<QChar> CsvTable::Reader::peek() {
    if (position_ >= buffer_.size() && !fill())
        return std::nullopt;
    return buffer_.at(position_);
}

// Appends the next piece of the input to what is not read yet; false at the end, and where
// bytes that are not UTF-8 begin (broken_ then tells which). Only whole characters are decoded,
// so that the row holding bad bytes can be named once the rows before it are read, and a table
// ending inside a character is told from one that goes on.
bool CsvTable::Reader::fill() {
    while (!broken_) {
        const QByteArray bytes = device_.read(chunkSize);
        if (bytes.isEmpty()) {
            broken_ = !undecoded_.isEmpty();
            return false;
        }
        undecoded_ += bytes;
        const Utf8Scan scan = scanUtf8(undecoded_);
        broken_ = scan.broken;
        if (scan.whole == 0)
            continue;
        // The decoder drops a byte-order mark at the start.
        const QString text = decoder_.decode(QByteArrayView(undecoded_).first(scan.whole));
        undecoded_.remove(0, scan.whole);
        buffer_.remove(0, position_);
        position_ = 0;
        buffer_ += text;
        return true;
    }
    return false;
}

void CsvTable::Reader::malformed(const QString& what) const {
    throw Failure(QStringLiteral("row %1: ").arg(rowNumber_) + what);
}

void CsvTable::Reader::notUtf8() const {
    malformed(QStringLiteral("it is not UTF-8 text"));
}

CsvTable::Writer::Writer(QIODevice& device) : device_(device) {
    if (device_.write("\xEF\xBB\xBF") != 3)
        throw Failure(QStringLiteral("the table could not be written: ") + device_.errorString());
}

void CsvTable::Writer::writeRow(const QStringList& cells) {
    QStringList texts;
    texts.reserve(cells.size());
    for (const QString& cell : cells)
        texts << cellText(cell);
    const QByteArray line = (texts.join(writtenSeparator) + QStringLiteral("\r\n")).toUtf8();
    if (device_.write(line) != line.size())
        throw Failure(QStringLiteral("the table could not be written: ") + device_.errorString());
}

QString CsvTable::cellText(const QString& value) {
    QString text = needsApostrophe(value) ? apostrophe + value : value;
    if (!needsQuotes(text))
        return text;
    text.replace(quote, QStringLiteral("\"\""));
    return quote + text + quote;
}
