#include "ValueTable.h"

#include "CsvTable.h"
#include "Failure.h"
#include "FileIdentity.h"
#include "PathHelpers.h"
#include "PdfSnapshot.h"
#include "XmpPacket.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <sys/stat.h>

namespace {

const QString pathColumn = QStringLiteral("path");
const QString copyrightColumn = QStringLiteral("copyright");
const QString copyrightUrlColumn = QStringLiteral("copyright-url");
const QString languageColumn = QStringLiteral("lang");
const QString displayTitleColumn = QStringLiteral("display-title");

QString truthText(const std::optional<bool>& value) {
    return value ? (*value ? QStringLiteral("true") : QStringLiteral("false")) : QString();
}

// The removal marker with any number of pairs of angle brackets around "remove": one pair is the
// marker, each further pair stands for a real value with one pair fewer.
const QRegularExpression& markerLike() {
    static const QRegularExpression pattern(QStringLiteral("^(<+)remove(>+)$"));
    return pattern;
}

bool isMarkerLike(const QString& text) {
    const QRegularExpressionMatch match = markerLike().match(text);
    return match.hasMatch() && match.capturedLength(1) == match.capturedLength(2);
}

// The column a key other than the eight is written in. A name the reader would take for
// something else gets a slash: one of our columns' names, a field's key or option name in another
// case ("title"), and a key that differs from another of the table only in case (taken as any
// key of its letters, it would stand for whichever of them a file has); inAnyCase counts the keys
// of the table by anyCase.
QString columnOfKey(const QString& key, const QHash<QString, int>& inAnyCase) {
    const bool ours = key == pathColumn || key == copyrightColumn || key == copyrightUrlColumn ||
                      EditPlan::anyCase(key) == languageColumn || key == displayTitleColumn ||
                      key.startsWith(QLatin1Char('/'));
    const bool notAlone =
        EditPlan::keyNamed(key).exact || inAnyCase.value(EditPlan::anyCase(key)) > 1;
    return ours || notAlone ? QLatin1Char('/') + key : key;
}

// What the table shows of one file, read once: its document information and its copyright.
struct FileValues {
    QMap<QString, PdfSnapshot::InfoValue> info;
    QString copyright;
    QString copyrightUrl;
    std::optional<QString> language;
    std::optional<bool> displaysTitle;
};

FileValues valuesOf(const QString& file) {
    const PdfSnapshot snapshot =
        PdfSnapshot::read(file, std::nullopt, PdfSnapshot::Sharing::Ignore);
    QMap<QString, QString> xmp;
    if (const std::optional<QByteArray> packet = XmpPacket::readFromPdf(file, std::nullopt))
        xmp = XmpPacket::read(*packet);
    return {snapshot.info(), xmp.value(XmpPacket::copyrightKey()),
            xmp.value(XmpPacket::copyrightUrlKey()), snapshot.language(), snapshot.displaysTitle()};
}

// The keys other than the eight, in the order the files first have them.
QStringList otherKeysOf(const QList<std::optional<FileValues>>& files) {
    QStringList keys;
    QSet<QString> seen;
    for (const std::optional<FileValues>& values : files) {
        if (!values)
            continue;
        for (auto entry = values->info.cbegin(); entry != values->info.cend(); ++entry) {
            if (!EditPlan::fieldOf(entry.key()) && !seen.contains(entry.key())) {
                seen.insert(entry.key());
                keys << entry.key();
            }
        }
    }
    return keys;
}

// The cells of one file's row, with the other keys' columns in the order of others.
QStringList rowOf(const QString& file, const FileValues& values, const QStringList& others) {
    QStringList cells{file};
    for (InfoField field : EditPlan::fields) {
        const auto entry = values.info.constFind(EditPlan::toolkitKey(field));
        cells << ValueTable::cellOf(entry == values.info.cend() ? QString() : entry->text);
    }
    cells << ValueTable::cellOf(values.copyright) << ValueTable::cellOf(values.copyrightUrl)
          << ValueTable::cellOf(values.language.value_or(QString()))
          << truthText(values.displaysTitle);
    for (const QString& key : others) {
        const auto entry = values.info.constFind(key);
        cells << (entry == values.info.cend() ? QString()
                                              : ValueTable::cellOf(ValueTable::shownValue(*entry)));
    }
    return cells;
}

// What one column of a table read back stands for.
struct Column {
    enum class Kind { Path, Copyright, CopyrightUrl, Language, DisplayTitle, Key } kind;
    EditPlan::KeyName key;
};

Column columnOf(const QString& name, int number) {
    if (name == pathColumn)
        return {Column::Kind::Path, {}};
    if (name == copyrightColumn)
        return {Column::Kind::Copyright, {}};
    if (name == copyrightUrlColumn)
        return {Column::Kind::CopyrightUrl, {}};
    if (EditPlan::anyCase(name) == languageColumn)
        return {Column::Kind::Language, {}};
    if (name == displayTitleColumn)
        return {Column::Kind::DisplayTitle, {}};
    // A field by its key or its option's name, any other key as a file spells it, in any case;
    // "/key" the key spelled exactly so.
    const EditPlan::KeyName key = EditPlan::keyNamed(name);
    // Any key a file can hold, as show writes it: only an empty name is none. Whether a value
    // can be set under it, or the key removed, is asked of each cell, so a table show wrote reads
    // back whatever keys the files hold.
    if (key.key.isEmpty())
        throw Failure(QStringLiteral("column %1 (\"%2\"): it names no key of the document "
                                     "information: %3")
                          .arg(number)
                          .arg(name, EditPlan::keyProblem(key.key, std::nullopt)));
    return {Column::Kind::Key, key};
}

// The columns of a table read back, in the header's order, and which of them names the files.
struct Header {
    QList<Column> columns;
    int pathAt = -1;
};

// Throws Failure for a column that names no key, a key that an earlier column names, and a
// header without the column "path".
Header headerOf(const QStringList& names) {
    Header header;
    QSet<QString> named;
    for (const QString& name : names) {
        const int number = int(header.columns.size()) + 1;
        const Column column = columnOf(name, number);
        // A key as PDF writes it, so that the key "path" is not our column "path".
        const QString identity =
            column.kind == Column::Kind::Key ? QLatin1Char('/') + column.key.key : name;
        if (named.contains(identity))
            throw Failure(QStringLiteral("column %1 (\"%2\"): an earlier column names the same "
                                         "key")
                              .arg(number)
                              .arg(name));
        named.insert(identity);
        if (column.kind == Column::Kind::Path)
            header.pathAt = number - 1;
        header.columns << column;
    }
    if (header.pathAt < 0)
        throw Failure(QStringLiteral("the header row has no column \"path\" to name the files"));
    return header;
}

// Whether value may be text this reader made of bytes it could not read as characters (a byte
// PDFDocEncoding leaves undefined, half of a UTF-16 pair: U+FFFD), or characters the toolkit
// need not write back as the bytes they came from (control characters). Such a value given back
// as the file holds it is left alone, so the file keeps its bytes rather than gets others.
bool mayNotWriteBack(const QString& value) {
    return std::ranges::any_of(value, [](QChar c) {
        return c == QChar::ReplacementCharacter ||
               (c.unicode() < 0x20 && c != QLatin1Char('\t') && c != QLatin1Char('\n') &&
                c != QLatin1Char('\r')) ||
               c.unicode() == 0x7f;
    });
}

// Why key cannot be set to value, as a phrase; empty when it can.
QString setProblem(const QString& key, const QString& value) {
    if (const QString problem = EditPlan::keyProblem(key, value); !problem.isEmpty())
        return problem;
    EditPlan probe;
    probe.setKey(key, value);
    if (const std::optional<InfoField> date = probe.firstBadDate())
        return EditPlan::notADateMessage(*date, value);
    return {};
}

} // namespace

QString ValueTable::shownValue(const PdfSnapshot::InfoValue& value) {
    if (!value.isString && value.text.startsWith(QLatin1Char('/')))
        return value.text.mid(1);
    return value.text;
}

QString ValueTable::cellOf(const QString& value) {
    return isMarkerLike(value) ? QLatin1Char('<') + value + QLatin1Char('>') : value;
}

std::optional<std::optional<QString>> ValueTable::valueOf(const QString& cell) {
    if (cell.isEmpty())
        return std::nullopt;
    if (cell == removeMarker())
        return std::optional<QString>();
    if (isMarkerLike(cell))
        return std::optional<QString>(cell.mid(1, cell.size() - 2));
    return std::optional<QString>(cell);
}

void ValueTable::write(QIODevice& device, const QStringList& files,
                       const std::function<void(const QString&, const QString&)>& failed) {
    // Each file is read once; what the table needs of it is small, and the other keys that name
    // the columns are known only once every file has been read.
    QList<std::optional<FileValues>> values;
    values.reserve(files.size());
    for (const QString& file : files) {
        try {
            values << valuesOf(file);
        } catch (const Failure& failure) {
            failed(file, failure.description());
            values << std::nullopt;
        }
    }
    const QStringList others = otherKeysOf(values);
    CsvTable::Writer writer(device);
    QStringList header{pathColumn};
    for (InfoField field : EditPlan::fields)
        header << EditPlan::toolkitKey(field);
    header << copyrightColumn << copyrightUrlColumn << languageColumn << displayTitleColumn;
    QHash<QString, int> inAnyCase;
    for (const QString& key : others)
        ++inAnyCase[EditPlan::anyCase(key)];
    for (const QString& key : others)
        header << columnOfKey(key, inAnyCase);
    writer.writeRow(header);
    for (qsizetype index = 0; index < files.size(); ++index) {
        if (values.at(index))
            writer.writeRow(rowOf(files.at(index), *values.at(index), others));
    }
}

QList<ValueTable::Row> ValueTable::read(const QString& tablePath) {
    QFile file(tablePath);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("the table could not be opened: ") + file.errorString());
    CsvTable::Reader reader(file);
    const Header header = headerOf(reader.header());
    const QList<Column>& columns = header.columns;
    const int pathAt = header.pathAt;

    const QDir folder = QFileInfo(tablePath).absoluteDir();
    QList<Row> rows;
    // Each file by its device and inode, with its row: two spellings, a link or a hard link of
    // one file are the same file.
    QHash<FileIdentity, int> seen;
    while (const std::optional<QStringList> cells = reader.next()) {
        const QString at = QStringLiteral("row %1").arg(reader.rowNumber());
        const QString given = cells->at(pathAt);
        if (given.isEmpty())
            throw Failure(at + QStringLiteral(": it names no file"));
        Row row{QDir::cleanPath(folder.absoluteFilePath(given)), {}};
        struct stat status {};
        if (::stat(PathHelpers::native(row.path).constData(), &status) != 0)
            throw Failure(at + QStringLiteral(": no such file: ") + row.path);
        if (S_ISDIR(status.st_mode))
            throw Failure(at + QStringLiteral(": it names a folder: ") + row.path);
        const FileIdentity identity = FileIdentity::of(status);
        if (const auto earlier = seen.constFind(identity); earlier != seen.cend())
            throw Failure(at + QStringLiteral(": ") + row.path +
                          QStringLiteral(" is the same file as row %1's").arg(*earlier));
        seen.insert(identity, reader.rowNumber());
        // A value that cannot be set is refused, unless it is what the file holds already (a
        // date written in a form of its own, a key that is not ASCII): a table as show wrote it
        // then leaves it alone, as it does a value given as the file holds it that may not be
        // written back as the same bytes. Only then is the file read, once.
        std::optional<PdfSnapshot> original;
        bool read = false;
        const auto readOriginal = [&] {
            if (!read) {
                read = true;
                try {
                    original =
                        PdfSnapshot::read(row.path, std::nullopt, PdfSnapshot::Sharing::Ignore);
                } catch (const Failure&) {
                }
            }
            return original.has_value();
        };
        const auto holds = [&](const EditPlan::KeyName& key, const QString& value) {
            if (!readOriginal())
                return false;
            // A key named in any case only where the name is no other key's too.
            const QStringList held = EditPlan::keysFor(key, original->info().keys());
            const auto entry = original->info().constFind(held.value(0));
            return held.size() == 1 && entry != original->info().cend() &&
                   shownValue(*entry) == value;
        };
        for (qsizetype index = 0; index < columns.size(); ++index) {
            const Column& column = columns.at(index);
            const std::optional<std::optional<QString>> value = valueOf(cells->at(index));
            if (column.kind == Column::Kind::Path || !value)
                continue;
            const QString cell = at + QStringLiteral(", column \"") + reader.header().at(index) +
                                 QStringLiteral("\": ");
            if (column.kind == Column::Kind::Copyright) {
                row.plan.setCopyright(value->value_or(QString()));
            } else if (column.kind == Column::Kind::CopyrightUrl) {
                row.plan.setCopyrightUrl(value->value_or(QString()));
            } else if (column.kind == Column::Kind::Language) {
                // A tag as the file holds it is left alone, even one that is not well formed.
                if (*value && !EditPlan::isLanguageTag(**value)) {
                    if (!readOriginal() || original->language() != **value)
                        throw Failure(cell + QStringLiteral("\"") + **value +
                                      QStringLiteral("\" is not a language tag"));
                    continue;
                }
                row.plan.setLanguage(value->value_or(QString()));
            } else if (column.kind == Column::Kind::DisplayTitle) {
                if (*value == QStringLiteral("true")) {
                    row.plan.showTitleInTitleBar();
                } else if (*value != QStringLiteral("false") ||
                           (readOriginal() && original->displaysTitle() == true)) {
                    // Shown titles are asked for, never taken back.
                    throw Failure(cell + QStringLiteral("it takes only true, or false where the "
                                                        "file does not show the title"));
                }
            } else if (!*value) {
                // A key any file may hold reaches the header; removing takes fewer of them.
                if (const QString problem = EditPlan::keyProblem(column.key.key, std::nullopt);
                    !problem.isEmpty())
                    throw Failure(cell + problem);
                row.plan.removeKey(column.key);
            } else if (mayNotWriteBack(**value) && holds(column.key, **value)) {
                continue;
            } else if (const QString problem = setProblem(column.key.key, **value);
                       problem.isEmpty()) {
                row.plan.setKey(column.key, **value);
            } else if (!holds(column.key, **value)) {
                throw Failure(cell + problem);
            }
        }
        rows << std::move(row);
    }
    return rows;
}
