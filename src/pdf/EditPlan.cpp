#include "EditPlan.h"

#include "PdfDate.h"

#include <QRegularExpression>
#include <QSet>

namespace {
std::size_t indexOf(InfoField field) {
    return static_cast<std::size_t>(field);
}
} // namespace

QString EditPlan::toolkitKey(InfoField field) {
    switch (field) {
    case InfoField::Title:
        return QStringLiteral("Title");
    case InfoField::Subject:
        return QStringLiteral("Subject");
    case InfoField::Author:
        return QStringLiteral("Author");
    case InfoField::Keywords:
        return QStringLiteral("Keywords");
    case InfoField::Creator:
        return QStringLiteral("Creator");
    case InfoField::Producer:
        return QStringLiteral("Producer");
    case InfoField::CreationDate:
        return QStringLiteral("CreationDate");
    case InfoField::ModDate:
        return QStringLiteral("ModDate");
    }
    return {};
}

QString EditPlan::caption(InfoField field) {
    switch (field) {
    case InfoField::CreationDate:
        return QStringLiteral("Creation Date");
    case InfoField::ModDate:
        return QStringLiteral("Modified Date");
    default:
        return toolkitKey(field);
    }
}

QString EditPlan::notADateMessage(InfoField field, const QString& text) {
    return caption(field) + QStringLiteral(" \"") + text +
           QStringLiteral("\" is not a date. Type it like ") + PdfDate::acceptedForms() +
           QStringLiteral(".");
}

const FieldChoice& EditPlan::choice(InfoField field) const {
    return choices_[indexOf(field)];
}

std::optional<QString> EditPlan::value(InfoField field, const QString& titleFromName) const {
    const FieldChoice& chosen = choice(field);
    switch (chosen.mode) {
    case FieldMode::Keep:
    case FieldMode::Remove:
        return std::nullopt;
    case FieldMode::FromFileName:
        return titleFromName;
    case FieldMode::ChangeTo:
        break;
    }
    return chosen.text;
}

void EditPlan::keep(InfoField field) {
    choices_[indexOf(field)] = {FieldMode::Keep, {}};
}

void EditPlan::changeTo(InfoField field, const QString& text) {
    choices_[indexOf(field)] = {FieldMode::ChangeTo, text};
}

void EditPlan::titleFromFileName() {
    choices_[indexOf(InfoField::Title)] = {FieldMode::FromFileName, {}};
}

void EditPlan::remove(InfoField field) {
    choices_[indexOf(field)] = {FieldMode::Remove, {}};
}

std::optional<InfoField> EditPlan::fieldOf(const QString& key) {
    for (InfoField field : fields) {
        if (toolkitKey(field) == key)
            return field;
    }
    return std::nullopt;
}

QString EditPlan::optionName(InfoField field) {
    // The key in lower case, a hyphen between its words: "CreationDate" is "creation-date".
    const QString key = toolkitKey(field);
    QString name;
    for (qsizetype at = 0; at < key.size(); ++at) {
        if (at > 0 && key.at(at).isUpper())
            name += QLatin1Char('-');
        name += key.at(at).toLower();
    }
    return name;
}

QString EditPlan::anyCase(const QString& name) {
    // Only A to Z: a key is a PDF name, bytes, whose other letters have no case of PDF's.
    QString lower = name;
    for (QChar& c : lower) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    }
    return lower;
}

QStringList EditPlan::keysFor(const KeyName& name, const QStringList& keys) {
    if (name.exact || keys.contains(name.key))
        return {name.key};
    const QString wanted = anyCase(name.key);
    QStringList matching;
    for (const QString& key : keys) {
        if (anyCase(key) == wanted)
            matching << key;
    }
    return matching;
}

EditPlan::KeyName EditPlan::keyNamed(const QString& name) {
    if (name.startsWith(QLatin1Char('/')))
        return {name.mid(1), true};
    for (InfoField field : fields) {
        if (anyCase(name) == anyCase(toolkitKey(field)) || anyCase(name) == optionName(field))
            return {toolkitKey(field), true};
    }
    return {name, false};
}

QString EditPlan::keyProblem(const QString& key, const std::optional<QString>& value) {
    if (key.isEmpty())
        return QStringLiteral("a key cannot be empty");
    static const QString delimiters = QStringLiteral("()<>[]{}/%");
    for (QChar c : key) {
        // Only removing does without the toolkit, and takes any name.
        if (c.unicode() <= 0x20 || c.unicode() == 0x7f || (c.unicode() > 0x7f && value))
            return QStringLiteral("the key \"%1\" may hold only printable ASCII characters, "
                                  "without spaces")
                .arg(key);
        if (delimiters.contains(c))
            return QStringLiteral("the key \"%1\" may not hold any of %2").arg(key, delimiters);
    }
    static const QStringList trapped{QStringLiteral("True"), QStringLiteral("False"),
                                     QStringLiteral("Unknown")};
    if (key == trappedKey() && value && !trapped.contains(*value))
        return QStringLiteral("Trapped can only be True, False or Unknown");
    return {};
}

void EditPlan::setKey(const QString& key, const QString& text) {
    if (const std::optional<InfoField> field = fieldOf(key))
        changeTo(*field, text);
    else
        otherKeys_.insert(key, text);
}

void EditPlan::removeKey(const QString& key) {
    if (const std::optional<InfoField> field = fieldOf(key))
        remove(*field);
    else
        otherKeys_.insert(key, std::nullopt);
}

void EditPlan::setKey(const KeyName& name, const QString& text) {
    if (name.exact)
        setKey(name.key, text);
    else
        keysInAnyCase_.insert(name.key, text);
}

void EditPlan::removeKey(const KeyName& name) {
    if (name.exact)
        removeKey(name.key);
    else
        keysInAnyCase_.insert(name.key, std::nullopt);
}

std::variant<EditPlan, QString> EditPlan::forKeys(const QStringList& keys) const {
    EditPlan plan = *this;
    plan.keysInAnyCase_.clear();
    // The keys changed so far: those named exactly, then each named in any case once found.
    QSet<QString> changed(otherKeys_.keyBegin(), otherKeys_.keyEnd());
    for (auto named = keysInAnyCase_.cbegin(); named != keysInAnyCase_.cend(); ++named) {
        const QString& name = named.key();
        QStringList matching = keysFor({name, false}, keys);
        if (matching.size() > 1) {
            QStringList slashed;
            for (const QString& held : std::as_const(matching))
                slashed << QLatin1Char('/') + held;
            const QString last = matching.takeLast();
            return QStringLiteral("\"%1\" could be the key %2 or %3, which differ only in case: "
                                  "name the one meant with a slash before it, spelled exactly as "
                                  "the file spells it (%4)")
                .arg(name, matching.join(QStringLiteral(", ")), last,
                     slashed.join(QStringLiteral(" or ")));
        }
        // A key the file does not have yet is added as named.
        const QString key = matching.value(0, name);
        if (changed.contains(key) && plan.otherKeys_.value(key) != named.value())
            return QStringLiteral("\"%1\" names the key %2 here, which is changed under another "
                                  "name too, differently: name it once")
                .arg(name, key);
        changed.insert(key);
        if (named.value())
            plan.setKey(key, *named.value());
        else
            plan.removeKey(key);
    }
    if (const QString problem = plan.firstKeyProblem(); !problem.isEmpty())
        return problem;
    return plan;
}

QMap<QString, std::optional<QString>> EditPlan::infoEdits(const QString& titleFromName) const {
    QMap<QString, std::optional<QString>> edits = otherKeys_;
    for (InfoField field : fields) {
        if (choice(field).mode == FieldMode::Remove)
            edits.insert(toolkitKey(field), std::nullopt);
        else if (const std::optional<QString> text = value(field, titleFromName))
            edits.insert(toolkitKey(field), *text);
    }
    return edits;
}

QStringList EditPlan::removedKeys() const {
    QStringList keys;
    for (InfoField field : fields) {
        if (choice(field).mode == FieldMode::Remove)
            keys << toolkitKey(field);
    }
    for (auto key = otherKeys_.cbegin(); key != otherKeys_.cend(); ++key) {
        if (!key.value())
            keys << key.key();
    }
    return keys;
}

void EditPlan::setTemplate(const KeyName& name, const FieldTemplate& text) {
    templates_.append({name, text});
}

void EditPlan::copyFromFolder(const QString& folder, const std::optional<QStringList>& fields) {
    sourceFolder_ = folder;
    sourceFields_ = fields;
}

bool EditPlan::dependsOnFile() const {
    return !templates_.isEmpty() || namePattern_ || sourceFolder_ || onlyEmpty_;
}

EditPlan EditPlan::withoutFileParts() const {
    EditPlan plan = *this;
    plan.templates_.clear();
    plan.namePattern_.reset();
    plan.sourceFolder_.reset();
    plan.sourceFields_.reset();
    plan.onlyEmpty_ = false;
    return plan;
}

EditPlan EditPlan::whereEmpty(const QMap<QString, QString>& info,
                              const std::optional<QString>& copyright,
                              const std::optional<QString>& copyrightUrl) const {
    EditPlan plan = *this;
    for (InfoField field : fields) {
        if (!info.value(toolkitKey(field)).isEmpty())
            plan.keep(field);
    }
    for (auto key = otherKeys_.cbegin(); key != otherKeys_.cend(); ++key) {
        if (!info.value(key.key()).isEmpty())
            plan.otherKeys_.remove(key.key());
    }
    if (!copyright.value_or(QString()).isEmpty())
        plan.copyright_.reset();
    if (!copyrightUrl.value_or(QString()).isEmpty())
        plan.copyrightUrl_.reset();
    return plan;
}

EditPlan EditPlan::mergedWith(const EditPlan& later) const {
    EditPlan merged = *this;
    merged.templates_.append(later.templates_);
    if (later.namePattern_)
        merged.namePattern_ = later.namePattern_;
    if (later.sourceFolder_) {
        merged.sourceFolder_ = later.sourceFolder_;
        merged.sourceFields_ = later.sourceFields_;
    }
    merged.onlyEmpty_ = onlyEmpty_ || later.onlyEmpty_;
    for (InfoField field : fields) {
        if (later.choice(field).mode != FieldMode::Keep)
            merged.choices_[indexOf(field)] = later.choice(field);
    }
    // Later wins per key as it is spelled, also where one plan names it exactly and the other in
    // any case: a cell overrides the command line for its file.
    for (auto key = later.otherKeys_.cbegin(); key != later.otherKeys_.cend(); ++key) {
        merged.keysInAnyCase_.remove(key.key());
        merged.otherKeys_.insert(key.key(), key.value());
    }
    for (auto key = later.keysInAnyCase_.cbegin(); key != later.keysInAnyCase_.cend(); ++key) {
        merged.otherKeys_.remove(key.key());
        merged.keysInAnyCase_.insert(key.key(), key.value());
    }
    if (later.copyright_)
        merged.copyright_ = later.copyright_;
    if (later.copyrightUrl_)
        merged.copyrightUrl_ = later.copyrightUrl_;
    if (later.language_)
        merged.language_ = later.language_;
    merged.displayTitle_ = displayTitle_ || later.displayTitle_;
    return merged;
}

bool EditPlan::sameValue(InfoField field, const QString& one, const QString& other) {
    if (one == other)
        return true;
    if (!isDate(field))
        return false;
    const std::optional<QDateTime> a = PdfDate::parse(one);
    const std::optional<QDateTime> b = PdfDate::parse(other);
    return a && b && *a == *b;
}

bool EditPlan::isLanguageTag(const QString& tag) {
    // The well-formed tags of BCP 47: a language (with up to three extended subtags), a script,
    // a region, variants, extensions and private subtags; or a private tag alone. Whether each
    // subtag is registered is the registry's to say, which changes over the years.
    static const QRegularExpression wellFormed(
        QStringLiteral("^(?:[a-z]{2,3}(?:-[a-z]{3}){0,3}"
                       "(?:-[a-z]{4})?"
                       "(?:-(?:[a-z]{2}|[0-9]{3}))?"
                       "(?:-(?:[a-z0-9]{5,8}|[0-9][a-z0-9]{3}))*"
                       "(?:-[0-9a-wy-z](?:-[a-z0-9]{2,8})+)*"
                       "(?:-x(?:-[a-z0-9]{1,8})+)?"
                       "|x(?:-[a-z0-9]{1,8})+)$"),
        QRegularExpression::CaseInsensitiveOption);
    return wellFormed.match(tag).hasMatch();
}

std::optional<InfoField> EditPlan::firstBadDate() const {
    for (InfoField field : fields) {
        const FieldChoice& date = choice(field);
        if (isDate(field) && date.mode == FieldMode::ChangeTo && !date.text.trimmed().isEmpty() &&
            !PdfDate::parse(date.text))
            return field;
    }
    return std::nullopt;
}

QString EditPlan::firstKeyProblem() const {
    for (const auto* keys : {&otherKeys_, &keysInAnyCase_}) {
        for (auto key = keys->cbegin(); key != keys->cend(); ++key) {
            const QString problem = keyProblem(key.key(), key.value());
            if (!problem.isEmpty())
                return problem;
        }
    }
    return {};
}

EditPlan EditPlan::withPdfDates() const {
    EditPlan written = *this;
    for (InfoField field : fields) {
        const FieldChoice& date = choice(field);
        if (!isDate(field) || date.mode != FieldMode::ChangeTo)
            continue;
        if (date.text.trimmed().isEmpty())
            written.changeTo(field, QString());
        else if (const std::optional<QDateTime> when = PdfDate::parse(date.text))
            written.changeTo(field, PdfDate::toPdf(*when));
    }
    return written;
}
