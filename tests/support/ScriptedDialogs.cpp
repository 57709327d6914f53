#include "ScriptedDialogs.h"

namespace {
template <typename T> T take(std::deque<T>& queue, const T& cautious, int& unanswered) {
    if (queue.empty()) {
        ++unanswered;
        return cautious;
    }
    T answer(std::move(queue.front()));
    queue.pop_front();
    return answer;
}
} // namespace

ScriptedDialogs::ScriptedDialogs() {
    Dialogs::install(this);
}

ScriptedDialogs::~ScriptedDialogs() {
    Dialogs::install(nullptr);
}

QList<ScriptedDialogs::Shown> ScriptedDialogs::messages() const {
    QList<Shown> result;
    for (const Shown& box : shown) {
        if (box.kind == Kind::Message)
            result << box;
    }
    return result;
}

Dialogs::Answer ScriptedDialogs::showMessage(const Message& message) {
    shown << Shown{Kind::Message,
                   message.text,
                   message.title,
                   message.buttons,
                   message.icon,
                   message.details,
                   {}};
    const Answer cautious = message.buttons == Buttons::Ok      ? Answer::Ok
                            : message.buttons == Buttons::YesNo ? Answer::No
                                                                : Answer::Cancel;
    if (message.buttons == Buttons::Ok && messageAnswers.empty())
        return Answer::Ok; // a box with one button needs no scripted answer
    return take(messageAnswers, cautious, unanswered);
}

std::optional<QString> ScriptedDialogs::showInput(const Input& input) {
    shown << Shown{Kind::Input, input.prompt, input.title,       Buttons::OkCancel,
                   Icon::None,  {},           input.defaultText, input.secret};
    if (inputAnswers.empty()) {
        ++unanswered;
        return std::nullopt;
    }
    const bool cancelled = !inputAnswers.front().has_value();
    const QString text = inputAnswers.front().value_or(QString());
    inputAnswers.pop_front();
    if (cancelled)
        return std::nullopt;
    return text;
}

QStringList ScriptedDialogs::showOpenFiles(const OpenFiles& request) {
    shown << Shown{Kind::OpenFiles, request.caption, {}, Buttons::OkCancel, Icon::None,
                   request.filter,  request.folder};
    return take(openFilesAnswers, QStringList(), unanswered);
}

QString ScriptedDialogs::showFolderPicker(const FolderChoice& request) {
    shown << Shown{Kind::FolderPicker, request.caption, {}, Buttons::OkCancel, Icon::None, {},
                   request.startFolder};
    return take(folderAnswers, QString(), unanswered);
}

QString ScriptedDialogs::showSaveFile(const SaveFile& request) {
    shown << Shown{Kind::SaveFile, request.caption,  {}, Buttons::OkCancel, Icon::None,
                   request.filter, request.suggested};
    return take(saveFileAnswers, QString(), unanswered);
}

bool ScriptedDialogs::showExternally(const QUrl& url) {
    shown << Shown{Kind::External, url.toString(), {}, Buttons::Ok, Icon::None, {}, {}};
    return externalOpens;
}

bool ScriptedDialogs::showItemInFolder(const QString& path) {
    shown << Shown{Kind::InFolder, path, {}, Buttons::Ok, Icon::None, {}, {}};
    return externalOpens;
}
