#pragma once

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

// Text with placeholders in braces, worked out for each file: {name} (the file's name without
// its folder and extension), {folder} (the name of the folder holding it), {copyright}, {file-date}
// (its modification time) and any key of its document information ({Title}, {company}, named
// as --remove names keys). {{ and }} stand for a brace. Read the other way round, the same text
// is a pattern that takes values out of a file's name.
class FieldTemplate {
public:
    // What a file offers its placeholders.
    struct FileFacts {
        // The file's name without folder and extension, and its folder's name.
        QString name;
        QString folder;
        // Its document information, key by key, as the file spells them.
        QMap<QString, QString> info;
        // Nothing when the file has no copyright notice (or it was not read: see usesCopyright).
        std::optional<QString> copyright;
        QDateTime modified;
    };

    // The text as given; nothing but literal text.
    FieldTemplate() = default;
    // The template text reads as; why it does not ("an unclosed brace"), as a phrase.
    static std::variant<FieldTemplate, QString> parse(const QString& text);

    // The text for a file. {file-date} is a PDF date when forDate, YYYY-MM-DD otherwise. missing,
    // when given, gets the placeholders the file has no value for (they give empty text).
    QString fill(const FileFacts& facts, bool forDate, QStringList* missing = nullptr) const;
    // The values the placeholders take from text, each placeholder taking the shortest text (at
    // least one character) that lets the rest match the whole of it; nothing when it does not
    // match. Only placeholders that name keys or the copyright make sense here.
    std::optional<QMap<QString, QString>> match(const QString& text) const;

    // The placeholders in order, as written between the braces.
    QStringList placeholders() const;
    // The literal text between them, with every brace as it stands for.
    QString literalText() const;
    bool usesCopyright() const;
    bool hasPlaceholders() const { return !placeholders().isEmpty(); }
    const QString& text() const { return text_; }

    // The placeholders that name something other than a key.
    static QString nameKey() { return QStringLiteral("name"); }
    static QString folderKey() { return QStringLiteral("folder"); }
    static QString copyrightKey() { return QStringLiteral("copyright"); }
    static QString fileDateKey() { return QStringLiteral("file-date"); }
    static bool isFileKey(const QString& placeholder);

    bool operator==(const FieldTemplate&) const = default;

private:
    struct Part {
        QString text;
        bool placeholder = false;
        bool operator==(const Part&) const = default;
    };
    QString text_;
    QList<Part> parts_;
};
