#pragma once

#include <QString>
#include <array>
#include <optional>

// The eight document-information keys, in the fixed order of the second page and of the
// info-update file.
enum class InfoField { Title, Subject, Author, Keywords, Creator, Producer, CreationDate, ModDate };

enum class FieldMode {
    Keep,        // leave the field alone
    ChangeTo,    // set it to the typed text, exactly as typed (empty allowed)
    FromFileName // Title only: the input's name without folder and last extension
};

struct FieldChoice {
    FieldMode mode = FieldMode::Keep;
    QString text;

    bool operator==(const FieldChoice&) const = default;
};

// What the batch run does to each field. Read anew from the second page for every file.
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

    // The field's name as the second page shows it ("Creation Date").
    static QString caption(InfoField field);
    // Why a date field's text cannot be written, with the forms that can.
    static QString notADateMessage(InfoField field, const QString& text);

    const FieldChoice& choice(InfoField field) const;
    // The text the field gets; nothing when it is kept.
    std::optional<QString> value(InfoField field, const QString& titleFromName) const;

    // The first date field set to a text that does not read as a date (an empty text empties
    // the field and is allowed); nothing when every date is fine.
    std::optional<InfoField> firstBadDate() const;
    // The plan with every date field's text written in PDF's own date form, with its zone, as
    // readers expect it. Texts that are no dates stay as they are.
    EditPlan withPdfDates() const;
    void keep(InfoField field);
    void changeTo(InfoField field, const QString& text);
    void titleFromFileName();

    bool operator==(const EditPlan&) const = default;

private:
    std::array<FieldChoice, fields.size()> choices_{};
};
