#include "CatalogSettings.h"

#include <qpdf/QPDFObjectHandle.hh>

bool CatalogSettings::needed(const EditPlan& plan) {
    return plan.language() || plan.displaysTitle();
}

std::vector<QPDFObjectHandle> CatalogSettings::apply(QPDFObjectHandle catalog,
                                                     const EditPlan& plan) {
    std::vector<QPDFObjectHandle> changed;
    bool catalogChanged = false;
    if (const std::optional<QString>& language = plan.language()) {
        QPDFObjectHandle now = catalog.getKey("/Lang");
        if (language->isEmpty()) {
            if (catalog.hasKey("/Lang")) {
                catalog.removeKey("/Lang");
                catalogChanged = true;
            }
        } else if (!now.isString() || QString::fromStdString(now.getUTF8Value()) != *language) {
            // A tag is ASCII, which PDF's own encoding keeps as it is.
            catalog.replaceKey("/Lang",
                               QPDFObjectHandle::newUnicodeString(language->toStdString()));
            catalogChanged = true;
        }
    }
    if (plan.displaysTitle()) {
        QPDFObjectHandle preferences = catalog.getKey("/ViewerPreferences");
        if (!preferences.isDictionary()) {
            preferences = QPDFObjectHandle::newDictionary();
            catalog.replaceKey("/ViewerPreferences", preferences);
            catalogChanged = true;
        }
        QPDFObjectHandle shown = preferences.getKey("/DisplayDocTitle");
        if (!shown.isBool() || !shown.getBoolValue()) {
            preferences.replaceKey("/DisplayDocTitle", QPDFObjectHandle::newBool(true));
            // Preferences of their own are an object to write anew; direct ones are the catalog's.
            if (preferences.isIndirect())
                changed.push_back(preferences);
            else
                catalogChanged = true;
        }
    }
    if (catalogChanged)
        changed.insert(changed.begin(), catalog);
    return changed;
}
