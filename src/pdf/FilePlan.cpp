#include "FilePlan.h"

#include "Failure.h"
#include "PdfDate.h"
#include "XmpPacket.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace {

const QString copyrightName = QStringLiteral("copyright");
const QString copyrightUrlName = QStringLiteral("copyright-url");

// Whether fields (none: all) names the key.
bool named(const std::optional<QStringList>& fields, const QString& key) {
    if (!fields)
        return true;
    return std::ranges::any_of(*fields, [&key](const QString& name) {
        const EditPlan::KeyName wanted = EditPlan::keyNamed(name);
        return wanted.exact ? wanted.key == key
                            : EditPlan::anyCase(wanted.key) == EditPlan::anyCase(key);
    });
}

} // namespace

QString FilePlan::fieldNameProblem(const QString& name) {
    if (name == copyrightName || name == copyrightUrlName)
        return {};
    return EditPlan::keyProblem(EditPlan::keyNamed(name).key, std::nullopt);
}

bool FilePlan::needsCopyright(const EditPlan& plan) {
    return (plan.onlyEmpty() && (plan.copyright() || plan.copyrightUrl() || plan.sourceFolder())) ||
           std::ranges::any_of(plan.templates(),
                               [](const auto& entry) { return entry.second.usesCopyright(); });
}

EditPlan FilePlan::ofFields(const FileValues& values) {
    EditPlan plan;
    for (InfoField field : EditPlan::fields) {
        const QString text = values.info.value(EditPlan::toolkitKey(field));
        if (text.isEmpty())
            continue;
        const std::optional<QDateTime> when =
            EditPlan::isDate(field) ? PdfDate::parse(text) : std::nullopt;
        plan.changeTo(field, when ? PdfDate::toIso(*when) : text);
    }
    return plan;
}

std::variant<EditPlan, QString> FilePlan::copiedFrom(const FileValues& source,
                                                     const std::optional<QStringList>& fields) {
    EditPlan plan;
    for (auto entry = source.info.cbegin(); entry != source.info.cend(); ++entry) {
        if (!named(fields, entry.key()))
            continue;
        if (const QString problem = EditPlan::keyProblem(entry.key(), entry.value());
            !problem.isEmpty())
            return problem;
        plan.setKey(entry.key(), entry.value());
    }
    const auto wanted = [&fields](const QString& name) {
        return !fields || fields->contains(name);
    };
    if (source.copyright && wanted(copyrightName))
        plan.setCopyright(*source.copyright);
    if (source.copyrightUrl && wanted(copyrightUrlName))
        plan.setCopyrightUrl(*source.copyrightUrl);
    return plan;
}

std::variant<EditPlan, QString> FilePlan::forFile(const EditPlan& given, const File& file) {
    EditPlan plan = given.withoutFileParts();
    FileValues own{file.info, std::nullopt, std::nullopt};
    if (needsCopyright(given)) {
        try {
            own.takeRights(XmpPacket::readFromPdf(file.path, file.password));
        } catch (const Failure& failure) {
            return failure.description();
        }
    }
    const FieldTemplate::FileFacts facts = own.factsFor(file.path, file.modified);

    if (const std::optional<QString>& folder = given.sourceFolder()) {
        const QString source = QDir(*folder).filePath(QFileInfo(file.path).fileName());
        if (!QFileInfo(source).isFile())
            return QStringLiteral("no file of that name in ") + *folder;
        std::variant<EditPlan, QString> copied;
        try {
            copied = copiedFrom(FileValues::read(source, file.password), given.sourceFields());
        } catch (const Failure& failure) {
            return QStringLiteral("the file of that name in ") + *folder +
                   QStringLiteral(" could not be read: ") + failure.description();
        }
        if (const QString* problem = std::get_if<QString>(&copied))
            return QStringLiteral("the file of that name in ") + *folder +
                   QStringLiteral(" has a value that cannot be copied: ") + *problem;
        // What the other options set explicitly wins.
        plan = std::get<EditPlan>(copied).mergedWith(plan);
    }
    if (const std::optional<FieldTemplate>& pattern = given.namePattern()) {
        const std::optional<QMap<QString, QString>> values = pattern->match(facts.name);
        if (!values)
            return QStringLiteral("its name does not match the pattern");
        for (auto value = values->cbegin(); value != values->cend(); ++value) {
            if (value.key() == FieldTemplate::copyrightKey())
                plan.setCopyright(value.value());
            else
                plan.setKey(EditPlan::keyNamed(value.key()), value.value());
        }
    }
    for (const auto& [name, text] : given.templates()) {
        const std::optional<InfoField> field = EditPlan::fieldOf(name.key);
        plan.setKey(name, text.fill(facts, field && EditPlan::isDate(*field)));
    }
    if (plan.hasKeysInAnyCase()) {
        std::variant<EditPlan, QString> found = plan.forKeys(file.info.keys());
        if (const QString* problem = std::get_if<QString>(&found))
            return *problem;
        plan = std::get<EditPlan>(std::move(found));
    }
    if (given.onlyEmpty())
        plan = plan.whereEmpty(file.info, own.copyright, own.copyrightUrl);
    return plan;
}
