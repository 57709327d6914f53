#include "SignedUpdate.h"

#include "CatalogSettings.h"
#include "Failure.h"
#include "PdfFile.h"
#include "PdfSnapshot.h"
#include "XmpPacket.h"

#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <climits>
#include <map>
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

// Whether a field of the form, its type and value inherited down the field tree, holds a
// signature. Only the form's fields are walked, each once, so a file without a form costs nothing.
bool holdsSignature(QPDFObjectHandle catalog) {
    QPDFObjectHandle form = catalog.getKey("/AcroForm");
    QPDFObjectHandle fields = form.isDictionary() ? form.getKey("/Fields") : QPDFObjectHandle();
    if (!fields.isArray())
        return false;
    struct Field {
        QPDFObjectHandle node;
        bool signature;
        QPDFObjectHandle value;
        int depth;
    };
    std::vector<Field> left;
    for (QPDFObjectHandle field : fields.aitems())
        left.push_back({field, false, QPDFObjectHandle::newNull(), 0});
    std::set<QPDFObjGen> seen;
    // Deeper than any real form: a tree that goes on is no form.
    constexpr int deepest = 64;
    while (!left.empty()) {
        const Field field = left.back();
        left.pop_back();
        QPDFObjectHandle node = field.node;
        if (!node.isDictionary() || field.depth > deepest ||
            (node.isIndirect() && !seen.insert(node.getObjGen()).second))
            continue;
        QPDFObjectHandle type = node.getKey("/FT");
        const bool signature = type.isName() ? type.getName() == "/Sig" : field.signature;
        QPDFObjectHandle value = node.hasKey("/V") ? node.getKey("/V") : field.value;
        if (signature && value.isDictionary() && value.hasKey("/ByteRange"))
            return true;
        QPDFObjectHandle kids = node.getKey("/Kids");
        if (kids.isArray()) {
            for (QPDFObjectHandle kid : kids.aitems())
                left.push_back({kid, signature, value, field.depth + 1});
        }
    }
    return false;
}

// A certification signature whose permissions (DocMDP, 1) allow no change to the document.
bool forbidsChanges(QPDFObjectHandle permissions) {
    QPDFObjectHandle signature =
        permissions.isDictionary() ? permissions.getKey("/DocMDP") : QPDFObjectHandle();
    QPDFObjectHandle references =
        signature.isDictionary() ? signature.getKey("/Reference") : QPDFObjectHandle();
    if (!references.isArray())
        return false;
    for (QPDFObjectHandle reference : references.aitems()) {
        if (!reference.isDictionary() ||
            !reference.getKey("/TransformMethod").isNameAndEquals("/DocMDP"))
            continue;
        QPDFObjectHandle parameters = reference.getKey("/TransformParams");
        QPDFObjectHandle level =
            parameters.isDictionary() ? parameters.getKey("/P") : QPDFObjectHandle();
        if (level.isInteger() && level.getIntValue() == 1)
            return true;
    }
    return false;
}

QString cannotBeAdded(const QString& why) {
    return QStringLiteral("it is digitally signed; the change cannot be added without breaking the "
                          "signature (%1)")
        .arg(why);
}

Failure refused(const QString& why) {
    return Failure(cannotBeAdded(why));
}

// Where the file's last cross-reference section starts, and whether it is a stream; the update's
// own section is of the same kind and goes back to it.
struct LastSection {
    qint64 offset = 0;
    bool stream = false;
};

LastSection lastSection(const QByteArray& bytes) {
    const Failure damaged = refused(QStringLiteral("its cross-reference is damaged"));
    const qsizetype keyword = bytes.lastIndexOf("startxref");
    if (keyword < 0)
        throw damaged;
    static const QRegularExpression number(QStringLiteral("\\A\\s*(\\d{1,15})\\s"));
    const QRegularExpressionMatch offset =
        number.match(QString::fromLatin1(bytes.mid(keyword + 9, 32)));
    if (!offset.hasMatch())
        throw damaged;
    LastSection last;
    last.offset = offset.captured(1).toLongLong();
    if (last.offset <= 0 || last.offset >= keyword)
        throw damaged;
    static const QRegularExpression table(QStringLiteral("\\A\\s*xref\\s"));
    if (table.match(QString::fromLatin1(bytes.mid(last.offset, 16))).hasMatch())
        return last;
    // Otherwise a cross-reference stream: an object whose dictionary, up to its data, says so.
    static const QRegularExpression stream(
        QStringLiteral("\\A\\s*\\d+\\s+\\d+\\s+obj\\s*<<.*/Type\\s*/XRef\\b.*\\bstream\\b"),
        QRegularExpression::DotMatchesEverythingOption);
    const QByteArray start = bytes.mid(last.offset, 4096);
    const qsizetype data = start.indexOf("stream");
    if (data < 0 || !stream.match(QString::fromLatin1(start.left(data + 7))).hasMatch())
        throw damaged;
    last.stream = true;
    return last;
}

// A name as PDF spells it. The library escapes what would end a name, but not the "#" that
// starts an escape: one in a name it read as "#23" would come out as the start of another.
std::string nameText(const std::string& name) {
    std::string escaped;
    for (const char c : name)
        escaped += c == '#' ? std::string("#23") : std::string(1, c);
    return QPDFObjectHandle::newName(escaped).unparse();
}

// The object in PDF's syntax, as the library writes it, but for names, which nameText() spells.
std::string serialised(QPDFObjectHandle object) {
    if (object.isIndirect())
        return object.unparse();
    if (object.isName())
        return nameText(object.getName());
    if (object.isArray()) {
        std::string text = "[";
        for (QPDFObjectHandle item : object.aitems())
            text += ' ' + serialised(item);
        return text + " ]";
    }
    if (object.isDictionary()) {
        std::string text = "<<";
        for (auto [key, value] : object.ditems()) {
            if (!value.isNull())
                text += ' ' + nameText(key) + ' ' + serialised(value);
        }
        return text + " >>";
    }
    return object.unparse();
}

// The update as it is written after the original's bytes: its objects, each where it starts in
// the whole file. The original is not copied, so a large file is held once.
class Update {
public:
    explicit Update(const QByteArray& original) : base_(original.size()) {
        // An object must start on a line of its own.
        if (!original.endsWith('\n') && !original.endsWith('\r'))
            bytes_ += '\n';
    }

    void add(int number, int generation, const std::string& body) {
        offsets_[number] = {here(), generation};
        bytes_ += QByteArray::number(number) + ' ' + QByteArray::number(generation) + " obj\n";
        bytes_ += QByteArray::fromStdString(body) + "\nendobj\n";
    }
    void addStream(int number, int generation, QPDFObjectHandle dictionary,
                   const QByteArray& data) {
        dictionary.replaceKey("/Length", QPDFObjectHandle::newInteger(data.size()));
        add(number, generation,
            serialised(dictionary) + "\nstream\n" + data.toStdString() + "\nendstream");
    }

    // The trailer's entries, without the dictionary's brackets.
    void endWithTable(const std::string& trailerEntries) {
        const qint64 start = here();
        bytes_ += "xref\n";
        for (const auto& [first, count] : runs()) {
            bytes_ += QByteArray::number(first) + ' ' + QByteArray::number(count) + '\n';
            for (int number = first; number < first + count; ++number) {
                const auto& [offset, generation] = offsets_.at(number);
                // Twenty bytes each, as a table's entries must be.
                bytes_ += QByteArray::number(offset).rightJustified(10, '0') + ' ' +
                          QByteArray::number(generation).rightJustified(5, '0') + " n\r\n";
            }
        }
        bytes_ += "trailer\n<< " + QByteArray::fromStdString(trailerEntries) + " >>\n";
        finish(start);
    }

    // number is the stream's own object, which the section lists too.
    void endWithStream(int number, const std::string& trailerEntries) {
        const qint64 start = here();
        offsets_[number] = {start, 0};
        int offsetWidth = 1;
        while (offsetWidth < 8 && (start >> (8 * offsetWidth)) != 0)
            ++offsetWidth;
        QByteArray data;
        QByteArray index;
        for (const auto& [first, count] : runs()) {
            index += QByteArray::number(first) + ' ' + QByteArray::number(count) + ' ';
            for (int entry = first; entry < first + count; ++entry) {
                const auto& [offset, generation] = offsets_.at(entry);
                data += char(1);
                for (int byte = offsetWidth - 1; byte >= 0; --byte)
                    data += char((offset >> (8 * byte)) & 0xff);
                data += char((generation >> 8) & 0xff);
                data += char(generation & 0xff);
            }
        }
        bytes_ += QByteArray::number(number) + " 0 obj\n<< /Type /XRef " +
                  QByteArray::fromStdString(trailerEntries) + " /W [ 1 " +
                  QByteArray::number(offsetWidth) + " 2 ] /Index [ " + index + "] /Length " +
                  QByteArray::number(data.size()) + " >>\nstream\n" + data +
                  "\nendstream\nendobj\n";
        finish(start);
    }

    // What follows the original's bytes.
    const QByteArray& bytes() const { return bytes_; }

private:
    // The objects written, as runs of consecutive numbers: the first and how many.
    std::vector<std::pair<int, int>> runs() const {
        std::vector<std::pair<int, int>> found;
        for (const auto& [number, place] : offsets_) {
            if (!found.empty() && found.back().first + found.back().second == number)
                ++found.back().second;
            else
                found.emplace_back(number, 1);
        }
        return found;
    }
    void finish(qint64 section) {
        bytes_ += "startxref\n" + QByteArray::number(section) + "\n%%EOF\n";
    }

    // Where the next byte goes in the whole file.
    qint64 here() const { return base_ + bytes_.size(); }

    qint64 base_;
    QByteArray bytes_;
    // By object number: where it starts, and its generation.
    std::map<int, std::pair<qint64, int>> offsets_;
};

// The document information the plan makes of what the file has: every entry it keeps as it is
// (references stay references), the planned texts, Trapped as a name, the removed keys gone.
QPDFObjectHandle changedInfo(QPDF& pdf, const EditPlan& plan, const QString& titleFromName) {
    QPDFObjectHandle info = QPDFObjectHandle::newDictionary();
    QPDFObjectHandle old = pdf.getTrailer().getKey("/Info");
    if (old.isStream())
        old = old.getDict();
    if (old.isDictionary()) {
        for (auto [key, value] : old.ditems()) {
            if (!value.isNull())
                info.replaceKey(key, value);
        }
    }
    const QMap<QString, std::optional<QString>> edits = plan.infoEdits(titleFromName);
    for (auto edit = edits.cbegin(); edit != edits.cend(); ++edit) {
        const std::string key = "/" + edit.key().toStdString();
        if (!edit.value())
            info.removeKey(key);
        else if (edit.key() == EditPlan::trappedKey())
            info.replaceKey(key, QPDFObjectHandle::newName("/" + edit.value()->toStdString()));
        else
            // Dates come in PDF's own form, plain ASCII, which this keeps in PDF's encoding.
            info.replaceKey(key, QPDFObjectHandle::newUnicodeString(edit.value()->toStdString()));
    }
    return info;
}

QByteArray streamData(QPDFObjectHandle stream) {
    try {
        const std::shared_ptr<Buffer> data = stream.getStreamData(qpdf_dl_generalized);
        return QByteArray(reinterpret_cast<const char*>(data->getBuffer()),
                          static_cast<qsizetype>(data->getSize()));
    } catch (const QPDFExc& error) {
        throw Failure(QStringLiteral("its XMP metadata cannot be read: ") +
                      QString::fromStdString(error.getMessageDetail()));
    }
}

std::string reference(int number, int generation) {
    return std::to_string(number) + ' ' + std::to_string(generation) + " R";
}

// Adds the XMP metadata the plan changes as the toolkit's results get them: the catalog's packet
// as a new version of its object, unfiltered as PDF/A wants it; or, for a copyright in a file
// without one, a new packet and a new version of the catalog that names it (true then). next is
// the first free object number, and goes on past what is used.
bool addXmp(QPDF& pdf, Update& update, const EditPlan& plan, const QString& titleFromName,
            QPDFObjectHandle info, const QDateTime& now, int& next) {
    QPDFObjectHandle catalog = pdf.getRoot();
    QPDFObjectHandle metadata = catalog.getKey("/Metadata");
    const XmpPacket::Rights rights = XmpPacket::rightsFor(plan);
    const QList<XmpPacket::Change> changes = XmpPacket::changesFor(plan, titleFromName);
    if (metadata.isStream() && (!changes.isEmpty() || rights.changesAnything())) {
        const QByteArray packet = streamData(metadata);
        const QByteArray updated = XmpPacket::update(packet, changes, now, rights);
        if (updated == packet)
            return false;
        QPDFObjectHandle dictionary = metadata.getDict().shallowCopy();
        for (const char* filtering : {"/Filter", "/DecodeParms", "/DL"})
            dictionary.removeKey(filtering);
        const QPDFObjGen object = metadata.getObjGen();
        update.addStream(object.getObj(), object.getGen(), dictionary, updated);
    } else if (metadata.isNull() && rights.addsAnything()) {
        QPDFObjectHandle dictionary = QPDFObjectHandle::newDictionary();
        dictionary.replaceKey("/Type", QPDFObjectHandle::newName("/Metadata"));
        dictionary.replaceKey("/Subtype", QPDFObjectHandle::newName("/XML"));
        const int packetNumber = next++;
        update.addStream(packetNumber, 0, dictionary, XmpPacket::newPacket(info, rights, now));
        // The new packet is no object of the file yet, so its reference is written here.
        QPDFObjectHandle named = catalog.shallowCopy();
        named.removeKey("/Metadata");
        std::string text = serialised(named);
        text.insert(2, " /Metadata " + reference(packetNumber, 0));
        const QPDFObjGen object = catalog.getObjGen();
        update.add(object.getObj(), object.getGen(), text);
        return true;
    }
    return false;
}

// The first object number the file does not use.
int firstFree(QPDF& pdf) {
    QPDFObjectHandle size = pdf.getTrailer().getKey("/Size");
    long long next = size.isInteger() ? size.getIntValue() : 0;
    for (const auto& [object, entry] : pdf.getXRefTable())
        next = std::max<long long>(next, object.getObj() + 1);
    if (next <= 0 || next >= INT_MAX - 8)
        throw refused(QStringLiteral("its cross-reference is damaged"));
    return int(next);
}

} // namespace

SignedUpdate::Signing SignedUpdate::signing(QPDFObjectHandle catalog) {
    QPDFObjectHandle granted = catalog.getKey("/Perms");
    const bool certified = granted.isDictionary() && !granted.getKeys().empty();
    return {certified || holdsSignature(catalog), forbidsChanges(granted)};
}

QString SignedUpdate::refusal(const PdfSnapshot& original) {
    if (!original.isSigned())
        return {};
    if (original.encrypted())
        return cannotBeAdded(QStringLiteral("it is encrypted"));
    if (original.certifiedAgainstChanges())
        return cannotBeAdded(QStringLiteral("its certification allows no change"));
    // The update goes back to the file's last cross-reference section: one the reader had to
    // rebuild, or anything it had to overlook, is no ground to build on.
    if (original.hadWarnings())
        return cannotBeAdded(QStringLiteral("it is damaged"));
    return {};
}

QString SignedUpdate::stripRefusal() {
    return QStringLiteral(
        "it is digitally signed; removing its metadata would break the signature");
}

QString SignedUpdate::note(bool dryRun) {
    return dryRun ? QStringLiteral("signed: the change would be added after the signed part")
                  : QStringLiteral("signed: the change was added after the signed part");
}

qint64 SignedUpdate::write(const QString& input, const EditPlan& plan, const QString& titleFromName,
                           const QString& output, const QDateTime& now) {
    qint64 signedPart = 0;
    PdfFile::openWhole(input, [&](QPDF& pdf, const QByteArray& original) {
        if (pdf.isEncrypted())
            throw refused(QStringLiteral("it is encrypted"));
        if (pdf.anyWarnings())
            throw refused(QStringLiteral("it is damaged"));
        const LastSection last = lastSection(original);
        int next = firstFree(pdf);
        Update update(original);

        QPDFObjectHandle info = changedInfo(pdf, plan, titleFromName);
        const int infoNumber = next++;
        update.add(infoNumber, 0, serialised(info));
        // The catalog's settings are made in memory first, so that a catalog written anew for
        // new XMP metadata carries them too.
        const std::vector<QPDFObjectHandle> settings = CatalogSettings::apply(pdf.getRoot(), plan);
        const bool catalogWritten = addXmp(pdf, update, plan, titleFromName, info, now, next);
        for (QPDFObjectHandle object : settings) {
            const QPDFObjGen id = object.getObjGen();
            if (!(catalogWritten && id == pdf.getRoot().getObjGen()))
                update.add(id.getObj(), id.getGen(), serialised(object.shallowCopy()));
        }

        QPDFObjectHandle trailer = pdf.getTrailer();
        const int streamNumber = last.stream ? next++ : 0;
        std::string entries = "/Size " + std::to_string(next) + " /Root " +
                              pdf.getRoot().unparse() + " /Info " + reference(infoNumber, 0) +
                              " /Prev " + std::to_string(last.offset);
        if (QPDFObjectHandle id = trailer.getKey("/ID"); id.isArray())
            entries += " /ID " + id.unparseResolved();
        if (last.stream)
            update.endWithStream(streamNumber, entries);
        else
            update.endWithTable(entries);
        // The objects read for the update may show damage only now.
        if (pdf.anyWarnings())
            throw refused(QStringLiteral("it is damaged"));

        QFile file(output);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(original) != original.size() ||
            file.write(update.bytes()) != update.bytes().size() || !file.flush())
            throw Failure(QStringLiteral("its result cannot be written: ") + file.errorString());
        signedPart = original.size();
    });
    return signedPart;
}
