#include "SettingsStore.h"

#include "Failure.h"

#include <QSettings>

namespace {

const QString application = QStringLiteral("Brightfen");
const QString section = QStringLiteral("Metascribe");
const QString typeMismatch = QStringLiteral("Type mismatch");

// Organisation "Brightfen" without an application name gives one file, Brightfen.conf. Values
// come from that file alone, not from system-wide defaults.
class Store : public QSettings {
public:
    Store() : QSettings(QSettings::IniFormat, QSettings::UserScope, application) {
        setFallbacksEnabled(false);
    }
};

QString key(const QString& name) {
    return section + QLatin1Char('/') + name;
}

} // namespace

QString SettingsStore::get(const QString& name, const QString& defaultText) {
    const Store settings;
    if (settings.status() != QSettings::NoError)
        return defaultText;
    const QVariant value = settings.value(key(name));
    if (!value.isValid())
        return defaultText;
    // A value someone wrote by hand as a list ("a, b") comes back as one text again.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

void SettingsStore::save(const QString& name, const QString& text) {
    Store settings;
    if (settings.status() != QSettings::NoError)
        throw Failure(QStringLiteral("The settings file %1 cannot be read, so it is not written")
                          .arg(settings.fileName()));
    settings.setValue(key(name), text);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw Failure(
            QStringLiteral("The settings file %1 cannot be written").arg(settings.fileName()));
}

QString SettingsStore::fromBool(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

bool SettingsStore::toBool(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (trimmed.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const double number = trimmed.toDouble(&ok);
    if (!ok)
        throw Failure(typeMismatch);
    return number != 0;
}

int SettingsStore::toInt(const QString& text) {
    bool ok = false;
    const int number = text.trimmed().toInt(&ok, 10);
    if (!ok)
        throw Failure(typeMismatch);
    return number;
}

QString SettingsStore::fileName() {
    return Store().fileName();
}
