#include "EditPlan.h"

#include "PdfDate.h"

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

std::optional<InfoField> EditPlan::firstBadDate() const {
    for (InfoField field : fields) {
        const FieldChoice& date = choice(field);
        if (isDate(field) && date.mode == FieldMode::ChangeTo && !date.text.trimmed().isEmpty() &&
            !PdfDate::parse(date.text))
            return field;
    }
    return std::nullopt;
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
