#include "DateStrings.h"

#include "Failure.h"
#include "PdfFile.h"

#include <QFile>
#include <QList>
#include <memory>
#include <optional>
#include <qpdf/BufferInputSource.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFTokenizer.hh>
#include <qpdf/QPDFXRefEntry.hh>

namespace {

// The text of a UTF-16 string when every character is printable ASCII that a literal string
// holds without an escape, as every date does; nothing otherwise.
std::optional<std::string> asciiOf(const std::string& bytes) {
    if (bytes.size() < 2 || bytes.size() % 2 != 0 || bytes[0] != '\xfe' || bytes[1] != '\xff')
        return std::nullopt;
    std::string text;
    for (size_t at = 2; at < bytes.size(); at += 2) {
        const auto high = static_cast<unsigned char>(bytes[at]);
        const auto low = static_cast<unsigned char>(bytes[at + 1]);
        if (high != 0 || low < 0x20 || low > 0x7e || low == '(' || low == ')' || low == '\\')
            return std::nullopt;
        text += static_cast<char>(low);
    }
    return text;
}

// A string to store anew: where its token lies in the object's text, and what replaces it.
struct Replacement {
    qint64 start = 0;
    QByteArray bytes;
};

enum class Scan { Done, NeedMore, Unexpected };

// Finds, in text that starts with the object "N G obj << ... >>", the strings of keys at the
// dictionary's top level that are to become plain.
Scan scanObject(const QByteArray& text, const QList<std::string>& keys,
                QList<Replacement>& replacements) {
    const auto source =
        std::make_shared<BufferInputSource>("document information", text.toStdString());
    QPDFTokenizer tokenizer;
    tokenizer.allowEOF();
    tokenizer.includeIgnorable();
    const QPDFTokenizer::token_type_e header[] = {QPDFTokenizer::tt_integer,
                                                  QPDFTokenizer::tt_integer, QPDFTokenizer::tt_word,
                                                  QPDFTokenizer::tt_dict_open};
    int headerTokens = 0;
    int depth = 0;
    std::string key;
    while (true) {
        const qint64 start = source->tell();
        const QPDFTokenizer::Token token = tokenizer.readToken(source, "document information");
        const QPDFTokenizer::token_type_e type = token.getType();
        if (type == QPDFTokenizer::tt_eof)
            return Scan::NeedMore;
        if (type == QPDFTokenizer::tt_bad)
            return Scan::Unexpected;
        if (type == QPDFTokenizer::tt_space || type == QPDFTokenizer::tt_comment)
            continue;
        if (headerTokens < 4) {
            if (type != header[headerTokens] || (headerTokens == 2 && token.getValue() != "obj"))
                return Scan::Unexpected;
            if (++headerTokens == 4)
                depth = 1;
            continue;
        }
        if (depth == 1 && key.empty() && type == QPDFTokenizer::tt_name) {
            key = token.getValue();
            continue;
        }
        if (depth == 1 && !key.empty()) {
            const std::optional<std::string> plain =
                type == QPDFTokenizer::tt_string && keys.contains(key) ? asciiOf(token.getValue())
                                                                       : std::nullopt;
            const std::string raw = token.getRawValue();
            const qint64 length = source->tell() - start;
            // The token must be exactly the bytes it was read from, or writing there would
            // spoil the file.
            if (plain && length == static_cast<qint64>(raw.size()) &&
                text.mid(start, length) == QByteArray::fromStdString(raw) &&
                static_cast<qint64>(plain->size()) + 2 <= length) {
                QByteArray bytes = '(' + QByteArray::fromStdString(*plain) + ')';
                bytes += QByteArray(length - bytes.size(), ' ');
                replacements.append({start, bytes});
            }
            key.clear();
        }
        if (type == QPDFTokenizer::tt_dict_open || type == QPDFTokenizer::tt_array_open)
            ++depth;
        else if (type == QPDFTokenizer::tt_dict_close || type == QPDFTokenizer::tt_array_close)
            --depth;
        if (depth == 0)
            return Scan::Done;
    }
}

} // namespace

void DateStrings::makePlain(const QString& path, const QStringList& keys) {
    QList<std::string> names;
    for (const QString& key : keys)
        names.append('/' + key.toStdString());
    if (names.isEmpty())
        return;
    std::optional<qint64> offset;
    PdfFile::open(path, std::nullopt, [&](QPDF& pdf) {
        QPDFObjectHandle info = pdf.getTrailer().getKey("/Info");
        if (!info.isIndirect() || !info.isDictionary())
            return;
        bool wide = false;
        for (const std::string& name : names) {
            QPDFObjectHandle value = info.getKey(name);
            wide |= value.isString() && asciiOf(value.getStringValue()).has_value();
        }
        const std::map<QPDFObjGen, QPDFXRefEntry> table = pdf.getXRefTable();
        const auto entry = table.find(info.getObjGen());
        if (wide && entry != table.end() && entry->second.getType() == 1)
            offset = entry->second.getOffset();
    });
    if (!offset)
        return;

    QFile file(path);
    const QString failed = QStringLiteral("its dates could not be stored as date strings: ");
    if (!file.open(QIODevice::ReadWrite))
        throw Failure(failed + file.errorString());
    QList<Replacement> replacements;
    // Document information is small; a long text in it takes another, longer read.
    for (qint64 length = 16 * 1024;; length *= 8) {
        if (!file.seek(*offset))
            throw Failure(failed + file.errorString());
        const QByteArray text = file.read(length);
        replacements.clear();
        const Scan scan = scanObject(text, names, replacements);
        if (scan == Scan::Unexpected || (scan == Scan::NeedMore && text.size() < length))
            return;
        if (scan == Scan::Done)
            break;
    }
    for (const Replacement& replacement : replacements) {
        if (!file.seek(*offset + replacement.start) ||
            file.write(replacement.bytes) != replacement.bytes.size())
            throw Failure(failed + file.errorString());
    }
    if (!file.flush())
        throw Failure(failed + file.errorString());
}

bool DateStrings::isUnicode(const std::string& bytes) {
    return bytes.starts_with("\xfe\xff") || bytes.starts_with("\xef\xbb\xbf");
}
