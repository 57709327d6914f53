#include "ErrorReport.h"

#include "Contact.h"
#include "Dialogs.h"

QString ErrorReport::messageText(const QString& description, const QString& context, int step) {
    return description + QStringLiteral("\r\n") + context + QStringLiteral("at line ") +
           QString::number(step) + QStringLiteral("\r\r") +
           QStringLiteral("Please email screenshot of this message to ") +
           QLatin1String(Contact::SupportEmail);
}

void ErrorReport::show(const QString& description, const QString& context, int step) {
    Dialogs::current().message(messageText(description, context, step),
                               QStringLiteral("Application Error"), Dialogs::Buttons::Ok,
                               Dialogs::Icon::Warning);
}
