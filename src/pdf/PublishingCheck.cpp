#include "PublishingCheck.h"

#include "EditPlan.h"
#include "Failure.h"
#include "PdfDate.h"
#include "PdfFile.h"
#include "Revisions.h"
#include "TextLists.h"
#include "XmpPacket.h"

#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <optional>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

namespace {

const QString noTitle = QStringLiteral("no-title");
const QString junkTitle = QStringLiteral("junk-title");
const QString xmpDiffers = QStringLiteral("xmp-differs");
const QString badDate = QStringLiteral("bad-date");
const QString futureDate = QStringLiteral("future-date");
const QString modifiedBeforeCreated = QStringLiteral("modified-before-created");
const QString noLanguage = QStringLiteral("no-language");
const QString titleNotShown = QStringLiteral("title-not-shown");
const QString oldValuesKept = QStringLiteral("old-values-kept");
const QString unreadable = QStringLiteral("unreadable");

const QString titleKey = QStringLiteral("Title");
const QString creationKey = QStringLiteral("CreationDate");
const QString modKey = QStringLiteral("ModDate");

// The values of the eight fields in one place of a file (its document information, or its XMP
// metadata), by their keys; a field that is not there is absent.
using Values = QMap<QString, QString>;

// The eight fields as the document information holds them as text. A value that is no string
// (a number where a title should be) is no text a viewer shows.
Values infoOf(QPDF& pdf) {
    Values values;
    QPDFObjectHandle info = pdf.getTrailer().getKey("/Info");
    if (info.isStream())
        info = info.getDict();
    if (!info.isDictionary())
        return values;
    for (InfoField field : EditPlan::fields) {
        const QString key = EditPlan::toolkitKey(field);
        QPDFObjectHandle value = info.getKey("/" + key.toStdString());
        if (value.isString())
            values.insert(key, QString::fromStdString(value.getUTF8Value()));
    }
    return values;
}

// The eight fields as the XMP metadata holds them; none where it has none or cannot be read,
// which leaves nothing there to disagree with.
Values xmpOf(QPDF& pdf) {
    Values values;
    try {
        if (const std::optional<QByteArray> packet = XmpPacket::of(pdf))
            values = XmpPacket::read(*packet);
    } catch (const Failure&) {
        return {};
    }
    for (auto value = values.begin(); value != values.end();) {
        if (EditPlan::fieldOf(value.key()))
            ++value;
        else
            value = values.erase(value);
    }
    return values;
}

std::optional<QDateTime> dateOf(const QString& text) {
    // Files are read alike wherever the check runs: no locale's own forms.
    return PdfDate::parse(text, QLocale::c());
}

// Whether two values of the field key names say the same.
bool sameValue(const QString& key, const QString& one, const QString& other) {
    const std::optional<InfoField> field = EditPlan::fieldOf(key);
    return field ? EditPlan::sameValue(*field, one, other) : one == other;
}

bool blank(const QString& text) {
    return text.trimmed().isEmpty();
}

QString quoted(const QString& text) {
    return TextLists::quoted(text);
}

// Where a value was found, as the details name it: "Title", or "Title (XMP)".
QString placed(const QString& key, bool inXmp) {
    return inXmp ? key + QStringLiteral(" (XMP)") : key;
}

class Findings {
public:
    void add(const QString& kind, const QString& detail) {
        const PublishingCheck::Finding finding{kind, detail};
        if (!found_.contains(finding))
            found_ << finding;
    }
    // In the order of the kinds, each kind's in the order found.
    QList<PublishingCheck::Finding> sorted() const {
        QList<PublishingCheck::Finding> all;
        for (const QString& kind : PublishingCheck::kinds()) {
            for (const PublishingCheck::Finding& finding : found_) {
                if (finding.kind == kind)
                    all << finding;
            }
        }
        return all;
    }

private:
    QList<PublishingCheck::Finding> found_;
};

void checkTitle(const Values& info, const Values& xmp, Findings& findings) {
    const QString inInfo = info.value(titleKey);
    const QString inXmp = xmp.value(titleKey);
    // Readers show whichever of the two they prefer: a title in either is one they may show.
    if (blank(inInfo) && blank(inXmp)) {
        const QString given = inInfo + inXmp;
        findings.add(noTitle, !info.contains(titleKey) && !xmp.contains(titleKey)
                                  ? QStringLiteral("the document has no title")
                              : given.isEmpty() ? QStringLiteral("the title is empty")
                                                : QStringLiteral("the title is only spaces"));
        return;
    }
    for (const QString& title : {inInfo, inXmp}) {
        if (!blank(title) && PublishingCheck::isMadeByProgram(title))
            findings.add(junkTitle, quoted(title));
    }
}

void checkXmp(const Values& info, const Values& xmp, Findings& findings) {
    for (InfoField field : EditPlan::fields) {
        const QString key = EditPlan::toolkitKey(field);
        if (info.contains(key) && xmp.contains(key) && !sameValue(key, info[key], xmp[key]))
            findings.add(xmpDiffers, key + QStringLiteral(": ") + quoted(info[key]) +
                                         QStringLiteral(" in the document information, ") +
                                         quoted(xmp[key]) + QStringLiteral(" in the XMP metadata"));
    }
}

// The date a place holds under key: nothing when it holds none; an invalid date when it holds
// one that does not read as a date. XMP may name only a year, or a year and a month.
std::optional<QDateTime> heldDate(const Values& values, const QString& key, bool inXmp) {
    QString text = values.value(key).trimmed();
    if (text.isEmpty())
        return std::nullopt;
    static const QRegularExpression yearOrMonth(QStringLiteral("^\\d{4}(-\\d{2})?$"));
    if (inXmp && yearOrMonth.match(text).hasMatch())
        text += text.size() == 4 ? QStringLiteral("-01-01") : QStringLiteral("-01");
    return dateOf(text).value_or(QDateTime());
}

void checkDates(const Values& info, const Values& xmp, const QDateTime& now, Findings& findings) {
    for (const auto& [values, inXmp] : {std::pair{&info, false}, std::pair{&xmp, true}}) {
        for (const QString& key : {creationKey, modKey}) {
            const std::optional<QDateTime> date = heldDate(*values, key, inXmp);
            if (!date)
                continue;
            const QString detail =
                placed(key, inXmp) + QStringLiteral(": ") + quoted(values->value(key));
            if (!date->isValid())
                findings.add(badDate, detail);
            else if (*date > now)
                findings.add(futureDate, detail);
        }
    }
    // The dates a reader shows: the document information's, else the XMP metadata's.
    const auto shown = [&](const QString& key) -> std::pair<std::optional<QDateTime>, QString> {
        for (const auto& [values, inXmp] : {std::pair{&info, false}, std::pair{&xmp, true}}) {
            const std::optional<QDateTime> date = heldDate(*values, key, inXmp);
            if (date && date->isValid())
                return {date, values->value(key)};
        }
        return {std::nullopt, QString()};
    };
    const auto [created, createdText] = shown(creationKey);
    const auto [modified, modifiedText] = shown(modKey);
    if (created && modified && *modified < *created)
        findings.add(modifiedBeforeCreated, modKey + QStringLiteral(" ") + quoted(modifiedText) +
                                                QStringLiteral(" is before ") + creationKey +
                                                QStringLiteral(" ") + quoted(createdText));
}

void checkCatalog(QPDF& pdf, Findings& findings) {
    QPDFObjectHandle catalog = pdf.getRoot();
    QPDFObjectHandle language = catalog.getKey("/Lang");
    if (!language.isString())
        findings.add(noLanguage, QStringLiteral("the document catalog has no /Lang"));
    else if (blank(QString::fromStdString(language.getUTF8Value())))
        findings.add(noLanguage, QStringLiteral("the document catalog's /Lang is empty"));
    QPDFObjectHandle preferences = catalog.getKey("/ViewerPreferences");
    QPDFObjectHandle shown =
        preferences.isDictionary() ? preferences.getKey("/DisplayDocTitle") : QPDFObjectHandle();
    if (!shown.isBool())
        findings.add(titleNotShown,
                     QStringLiteral("the viewer preferences do not set DisplayDocTitle"));
    else if (!shown.getBoolValue())
        findings.add(titleNotShown, QStringLiteral("the viewer preferences set DisplayDocTitle "
                                                   "to false"));
}

// Each revision before the newest, read as the whole file it was then: a value it holds that the
// file no longer does is there for anyone who cuts the file at that point.
void checkRevisions(QPDF& pdf, const QString& path, QByteArrayView bytes, const Values& info,
                    const Values& xmp, Findings& findings) {
    for (const qsizetype end : Revisions::earlierEnds(pdf, bytes)) {
        QPDF earlier;
        earlier.setSuppressWarnings(true);
        // A marker inside a stream's data cuts no revision; what a repair would make of it
        // is no earlier revision either.
        earlier.setAttemptRecovery(false);
        Values oldInfo;
        Values oldXmp;
        try {
            earlier.processMemoryFile(path.toStdString().c_str(), bytes.data(),
                                      static_cast<size_t>(end));
            oldInfo = infoOf(earlier);
            oldXmp = xmpOf(earlier);
        } catch (const std::exception&) {
            continue;
        }
        for (const auto& [old, now, inXmp] :
             {std::tuple{&oldInfo, &info, false}, std::tuple{&oldXmp, &xmp, true}}) {
            for (auto value = old->cbegin(); value != old->cend(); ++value) {
                if (blank(*value) || (now->contains(value.key()) &&
                                      sameValue(value.key(), *value, now->value(value.key()))))
                    continue;
                const QString current =
                    now->contains(value.key())
                        ? QStringLiteral("now ") + quoted(now->value(value.key()))
                        : QStringLiteral("now none");
                findings.add(oldValuesKept,
                             placed(value.key(), inXmp) + QStringLiteral(": ") + quoted(*value) +
                                 QStringLiteral(" in an earlier revision, ") + current);
            }
        }
    }
}

// The file's bytes, for its earlier revisions: those the reader took in one piece, else the file
// mapped for reading, so that a large file is not copied into memory. It is opened as the reader
// opens it, so that a FIFO put in its place meanwhile cannot hold the check. Throws Failure.
class Content {
public:
    Content(const QString& path, const QByteArray& read) : bytes_(read) {
        if (!read.isEmpty())
            return;
        if (!file_.open(PdfFile::openRegular(path), QIODevice::ReadOnly,
                        QFileDevice::AutoCloseHandle))
            return;
        if (const uchar* mapped = file_.map(0, file_.size()))
            view_ = QByteArrayView(mapped, file_.size());
    }
    QByteArrayView bytes() const { return bytes_.isEmpty() ? view_ : QByteArrayView(bytes_); }

private:
    QByteArray bytes_;
    QFile file_;
    QByteArrayView view_;
};

} // namespace

const QStringList& PublishingCheck::kinds() {
    static const QStringList all{
        noTitle,    junkTitle,     xmpDiffers,    badDate,   futureDate, modifiedBeforeCreated,
        noLanguage, titleNotShown, oldValuesKept, unreadable};
    return all;
}

QList<PublishingCheck::Finding> PublishingCheck::of(const QString& path, const QDateTime& now) {
    Findings findings;
    try {
        PdfFile::openWithBytes(path, std::nullopt, [&](QPDF& pdf, const QByteArray& read) {
            const Values info = infoOf(pdf);
            const Values xmp = xmpOf(pdf);
            checkTitle(info, xmp, findings);
            checkXmp(info, xmp, findings);
            checkDates(info, xmp, now, findings);
            checkCatalog(pdf, findings);
            const Content content(path, read);
            checkRevisions(pdf, path, content.bytes(), info, xmp, findings);
        });
    } catch (const Failure& failure) {
        return {{unreadable, failure.description()}};
    }
    return findings.sorted();
}

bool PublishingCheck::isMadeByProgram(const QString& title) {
    // What office programs put into the title of a PDF file they print or export: their own name
    // before the document's file name, the file name with its extension, or the name they give a
    // document that was never named.
    static const QRegularExpression program(
        QStringLiteral("^(microsoft\\s+\\w+|wordperfect|libreoffice\\s+\\w+|"
                       "openoffice(\\.org)?\\s+\\w+|adobe\\s+\\w+|quarkxpress)\\s+-\\s"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression extension(
        QStringLiteral("\\.(docx?|docm|dotx?|odt|ott|ods|odp|odg|rtf|wpd|wps|pages|key|numbers|"
                       "indd|qxd|qxp|pptx?|pptm|ppsx?|xlsx?|xlsm|xlsb|pub|vsdx?|tex|dvi|ps|eps|"
                       "pdf|ai|psd|txt|html?|md)\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression placeholder(
        QStringLiteral("^(untitled([\\s-]*\\d+)?|untitled\\s+document|no\\s+title|new\\s+document|"
                       "document\\s*\\d*|presentation\\s*\\d*|powerpoint\\s+presentation|"
                       "slide\\s*\\d+|book\\s*\\d+|workbook\\s*\\d*|drawing\\s*\\d+|title|"
                       "unknown)$"),
        QRegularExpression::CaseInsensitiveOption);
    const QString text = title.trimmed();
    return program.match(text).hasMatch() || extension.match(text).hasMatch() ||
           placeholder.match(text).hasMatch();
}
