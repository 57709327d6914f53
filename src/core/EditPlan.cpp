#include "EditPlan.h"

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

const FieldChoice& EditPlan::choice(InfoField field) const {
    return choices_[indexOf(field)];
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
