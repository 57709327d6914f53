#include "InfoEditor.h"

#include "CatalogSettings.h"
#include "PdfFile.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

namespace {

std::optional<QString> trappedOf(const EditPlan& plan) {
    return plan.otherKeys().value(EditPlan::trappedKey(), std::nullopt);
}

std::string nameOf(const QString& key) {
    return "/" + key.toStdString();
}

} // namespace

bool InfoEditor::needed(const EditPlan& plan) {
    return !plan.removedKeys().isEmpty() || trappedOf(plan) || CatalogSettings::needed(plan);
}

QByteArray InfoEditor::applied(const QString& input, const EditPlan& plan) {
    QByteArray bytes;
    PdfFile::open(input, std::nullopt, [&](QPDF& pdf) {
        bool changed = !CatalogSettings::apply(pdf.getRoot(), plan).empty();
        QPDFObjectHandle info = pdf.getTrailer().getKey("/Info");
        if (info.isStream())
            info = info.getDict();
        const std::optional<QString> trapped = trappedOf(plan);
        if (!info.isDictionary() && trapped) {
            // Nothing to remove from; a Trapped to set needs a dictionary of its own.
            info = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
            pdf.getTrailer().replaceKey("/Info", info);
            changed = true;
        }
        if (info.isDictionary()) {
            for (const QString& key : plan.removedKeys()) {
                if (info.hasKey(nameOf(key))) {
                    info.removeKey(nameOf(key));
                    changed = true;
                }
            }
            if (trapped && !info.getKey("/Trapped").isNameAndEquals(nameOf(*trapped))) {
                info.replaceKey("/Trapped", QPDFObjectHandle::newName(nameOf(*trapped)));
                changed = true;
            }
        }
        if (!changed)
            return;
        bytes = PdfFile::writeStreamsAsTheyAre(pdf);
    });
    return bytes;
}
