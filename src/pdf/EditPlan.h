#pragma once

#include "FieldTemplate.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <utility>
#include <variant>

// The eight document-information keys, in the fixed order of the second page and of the
// info-update file.
enum class InfoField { Title, Subject, Author, Keywords, Creator, Producer, CreationDate, ModDate };

enum class FieldMode {
    Keep,         // leave the field alone
    ChangeTo,     // set it to the typed text, exactly as typed (empty allowed)
    FromFileName, // Title only: the input's name without folder and last extension
    Remove        // take the key out of the document information and its XMP counterpart
};

struct FieldChoice {
    FieldMode mode = FieldMode::Keep;
    QString text;

    bool operator==(const FieldChoice&) const = default;
};

// What the batch run does to each field, to any other key of the document information and to
// the copyright notice. Read anew from the second page (the eight fields) or made from the
// command line for every file.
class EditPlan {
public:
    static constexpr std::array<InfoField, 8> fields = {
        InfoField::Title,   InfoField::Subject,  InfoField::Author,       InfoField::Keywords,
        InfoField::Creator, InfoField::Producer, InfoField::CreationDate, InfoField::ModDate};

    // The key as the toolkit spells it.
    static QString toolkitKey(InfoField field);

    static bool isDate(InfoField field) {
        return field == InfoField::CreationDate || field == InfoField::ModDate;
    }

    // Whether two values of the field say the same, as the document information and the XMP
    // metadata hold them: dates by the moment they name.
    static bool sameValue(InfoField field, const QString& one, const QString& other);

    // The field's name as the second page shows it ("Creation Date").
    static QString caption(InfoField field);
    // Why a date field's text cannot be written, with the forms that can.
    static QString notADateMessage(InfoField field, const QString& text);

    // The field a key names, spelled as PDF spells it ("CreationDate"); nothing for other keys.
    static std::optional<InfoField> fieldOf(const QString& key);
    // The field's option on the command line ("creation-date").
    static QString optionName(InfoField field);

    // A field or key as a person names it in --remove or a table's header. Names are matched
    // in any case of the letters A to Z, as people type them: a field's key or its option's
    // name ("TITLE", "creation-date") is the field; any other name is the key a file spells so
    // in any case, which each file decides (forKeys). A slash before a name ("/company") means
    // the key spelled exactly so, which reaches a key that differs from a field's or another
    // key's name only in case.
    struct KeyName {
        QString key;
        bool exact = false;

        bool operator==(const KeyName&) const = default;
    };
    static KeyName keyNamed(const QString& name);
    // The name with the letters A to Z in lower case: names that differ only in case give the
    // same.
    static QString anyCase(const QString& name);
    // The keys of keys that name may be: the key itself where it is named exactly or a key is
    // spelled exactly so, else every key that differs from it only in case (more than one: the
    // name does not say which).
    static QStringList keysFor(const KeyName& name, const QStringList& keys);
    // Why key cannot be given the value (nothing: removed), as a phrase in lower case; empty
    // when it can. A key is a PDF name, without the whitespace and delimiters that would end it;
    // a key to set is printable ASCII (the toolkit writes other characters as something else),
    // one to remove may be any Unicode. Trapped is a name in the document information and takes
    // only its three values.
    static QString keyProblem(const QString& key, const std::optional<QString>& value);
    // The one key whose values are names rather than strings.
    static QString trappedKey() { return QStringLiteral("Trapped"); }

    const FieldChoice& choice(InfoField field) const;
    // The text the field gets; nothing when it is kept.
    std::optional<QString> value(InfoField field, const QString& titleFromName) const;

    // The first date field set to a text that does not read as a date (an empty text empties
    // the field and is allowed); nothing when every date is fine.
    std::optional<InfoField> firstBadDate() const;
    // Why the first of the other keys (also one named in any case) cannot be written as the plan
    // says; empty when all can.
    QString firstKeyProblem() const;
    // The plan with every date field's text written in PDF's own date form, with its zone, as
    // readers expect it. Texts that are no dates stay as they are.
    EditPlan withPdfDates() const;
    void keep(InfoField field);
    void changeTo(InfoField field, const QString& text);
    void titleFromFileName();
    void remove(InfoField field);

    // Any key, spelled exactly so: one of the eight is the same as its field.
    void setKey(const QString& key, const QString& text);
    void removeKey(const QString& key);
    // A key as keyNamed made it: one spelled in any case is left for forKeys to find.
    void setKey(const KeyName& name, const QString& text);
    void removeKey(const KeyName& name);
    // The plan for a file holding keys (its document information's): each key named in any case
    // becomes the key the file spells so, the one spelled exactly so where the file has it, and
    // stays as named where the file has none. Why the file cannot be changed when a name could
    // be any of two or more keys that differ only in case, or when two names come to one key
    // with different changes, or a resolved key cannot take its value: nothing is guessed.
    std::variant<EditPlan, QString> forKeys(const QStringList& keys) const;
    bool hasKeysInAnyCase() const { return !keysInAnyCase_.isEmpty(); }
    // The keys other than the eight the plan names exactly (all of them once forKeys made the plan
    // for a file): the text each gets, or nothing to remove it.
    const QMap<QString, std::optional<QString>>& otherKeys() const { return otherKeys_; }
    // Every key of the document information the plan changes, the eight and the others: the text
    // it gets, or nothing to remove it.
    QMap<QString, std::optional<QString>> infoEdits(const QString& titleFromName) const;
    // The keys the plan takes out of the document information.
    QStringList removedKeys() const;

    // The copyright notice (XMP dc:rights, with xmpRights:Marked) and the address of the rights
    // statement (xmpRights:WebStatement); an empty text removes them, nothing leaves them alone.
    void setCopyright(const QString& text) { copyright_ = text; }
    void setCopyrightUrl(const QString& url) { copyrightUrl_ = url; }
    const std::optional<QString>& copyright() const { return copyright_; }
    const std::optional<QString>& copyrightUrl() const { return copyrightUrl_; }

    // The document's language, a BCP 47 tag, for the catalog's /Lang and XMP dc:language; an
    // empty text removes both, nothing leaves them alone.
    void setLanguage(const QString& tag) { language_ = tag; }
    const std::optional<QString>& language() const { return language_; }
    // Whether a language tag is well formed as BCP 47 writes tags ("de", "en-GB", "pt-BR",
    // "zh-Hant-TW", "x-klingon"), letter case aside.
    static bool isLanguageTag(const QString& tag);
    // Whether viewers are to show the title in their title bar rather than the file's name
    // (DisplayDocTitle in the viewer preferences).
    void showTitleInTitleBar() { displayTitle_ = true; }
    bool displaysTitle() const { return displayTitle_; }
    // What is worked out for each file once it is read (FilePlan::forFile): a key's text from a
    // template, values taken out of the file's name by a pattern, the values of the file of the
    // same name in a folder (those named in fields, when given), and whether the plan's changes
    // apply only to the fields the file has empty or not at all.
    void setTemplate(const KeyName& name, const FieldTemplate& text);
    void takeFromName(const FieldTemplate& pattern) { namePattern_ = pattern; }
    void copyFromFolder(const QString& folder, const std::optional<QStringList>& fields);
    void fillOnlyEmpty() { onlyEmpty_ = true; }
    const QList<std::pair<KeyName, FieldTemplate>>& templates() const { return templates_; }
    const std::optional<FieldTemplate>& namePattern() const { return namePattern_; }
    const std::optional<QString>& sourceFolder() const { return sourceFolder_; }
    const std::optional<QStringList>& sourceFields() const { return sourceFields_; }
    bool onlyEmpty() const { return onlyEmpty_; }
    // Whether any of them is in the plan, and the plan without them.
    bool dependsOnFile() const;
    EditPlan withoutFileParts() const;
    // The plan without the changes to fields the file has a value for: info holds its document
    // information's texts, copyright and copyrightUrl its notice and address (nothing when it
    // has none).
    EditPlan whereEmpty(const QMap<QString, QString>& info, const std::optional<QString>& copyright,
                        const std::optional<QString>& copyrightUrl) const;

    // This plan with later's choices on top: whatever later changes (a field, a key, the
    // copyright) it changes as later says, the rest as this plan says. A plan read for one file
    // goes on top of the plan for all of them.
    EditPlan mergedWith(const EditPlan& later) const;

    bool operator==(const EditPlan&) const = default;

private:
    std::array<FieldChoice, fields.size()> choices_{};
    QMap<QString, std::optional<QString>> otherKeys_;
    // Keys named in any case, until forKeys finds how a file spells them.
    QMap<QString, std::optional<QString>> keysInAnyCase_;
    std::optional<QString> copyright_;
    std::optional<QString> copyrightUrl_;
    std::optional<QString> language_;
    bool displayTitle_ = false;
    QList<std::pair<KeyName, FieldTemplate>> templates_;
    std::optional<FieldTemplate> namePattern_;
    std::optional<QString> sourceFolder_;
    std::optional<QStringList> sourceFields_;
    bool onlyEmpty_ = false;
};
