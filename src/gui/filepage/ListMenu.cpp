#include "ListMenu.h"

#include "BackgroundTask.h"
#include "Dialogs.h"
#include "Failure.h"
#include "FileList.h"
#include "FilePlan.h"
#include "FileValues.h"
#include "ValueTable.h"
#include "WindowPointer.h"

#include <QFileInfo>
#include <QMenu>
#include <QSaveFile>
#include <QScopedValueRollback>
#include <QUrl>

ListMenu::ListMenu(FileList& list, QWidget* page, std::function<bool()> mayRemoveRows,
                   std::function<void()> removed, std::function<void(const EditPlan&)> useFields)
    : list_(list), page_(page), mayRemoveRows_(std::move(mayRemoveRows)),
      removed_(std::move(removed)), useFields_(std::move(useFields)) {}

QMenu* ListMenu::create(int position) {
    auto* menu = new QMenu(page_);
    const QString path =
        position > 0 && position <= list_.Count() ? list_.PathAt(position) : QString();
    QAction* open = menu->addAction(QStringLiteral("Open"), page_, [path] {
        if (!Dialogs::current().openExternally(QUrl::fromLocalFile(path)))
            Dialogs::current().message(QStringLiteral("No program could open ") + path + '.', {},
                                       Dialogs::Buttons::Ok, Dialogs::Icon::Warning);
    });
    QAction* show = menu->addAction(QStringLiteral("Show in Folder"), page_, [path] {
        if (!Dialogs::current().showInFolder(path))
            Dialogs::current().message(QStringLiteral("No program could show the folder of ") +
                                           path + '.',
                                       {}, Dialogs::Buttons::Ok, Dialogs::Icon::Warning);
    });
    QAction* remove = menu->addAction(QStringLiteral("Remove from List"), page_, [this, position] {
        // As a double-click removes: not while the page is busy or a run reads the rows.
        if (!mayRemoveRows_() || position > list_.Count())
            return;
        list_.select(position);
        list_.RemoveSelected();
        removed_();
    });
    QAction* use = menu->addAction(QStringLiteral("Use Values of This File"), page_,
                                   [this, path] { useValuesOf(path); });
    for (QAction* action : {open, show, remove, use})
        action->setEnabled(!path.isEmpty());
    remove->setEnabled(!path.isEmpty() && mayRemoveRows_());
    menu->addSeparator();
    menu->addAction(QStringLiteral("Export Values to CSV\u2026"), page_, [this] { exportValues(); })
        ->setEnabled(list_.Count() > 0);
    return menu;
}

void ListMenu::useValuesOf(const QString& path) {
    std::optional<FileValues> values;
    QString problem;
    WindowPointer::set(page_, WindowPointer::State::Wait);
    try {
        // A large file takes a while to read: the window stays responsive meanwhile.
        BackgroundTask::run([&] { values = FileValues::read(path, std::nullopt); });
    } catch (const Failure& failure) {
        problem = failure.description();
    }
    WindowPointer::set(page_, WindowPointer::State::Default);
    if (!values) {
        Dialogs::current().message(QStringLiteral("The values of ") + path +
                                       QStringLiteral(" could not be read: ") + problem +
                                       QLatin1Char('.'),
                                   {}, Dialogs::Buttons::Ok, Dialogs::Icon::Warning);
        return;
    }
    useFields_(FilePlan::ofFields(*values));
}

void ListMenu::exportValues() {
    // The menu is open again while a long export reads its files.
    if (exporting_)
        return;
    const QScopedValueRollback busy(exporting_, true);
    QStringList files;
    for (int position = 1; position <= list_.Count(); ++position)
        files << list_.PathAt(position);
    if (files.isEmpty())
        return;
    const QString folder = QFileInfo(files.first()).absolutePath();
    const QString target = Dialogs::current().saveFile(
        QStringLiteral("Export Values to CSV"), folder + QStringLiteral("/values.csv"),
        QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (target.isEmpty())
        return;
    QStringList failures;
    QString problem;
    WindowPointer::set(page_, WindowPointer::State::Wait);
    // The table replaces a file of that name only once it is written whole.
    QSaveFile table(target);
    try {
        if (!table.open(QIODevice::WriteOnly))
            throw Failure(QStringLiteral("the table could not be written: ") + table.errorString());
        // Reading every file takes a while for a long list: the window stays responsive meanwhile.
        BackgroundTask::run([&] {
            ValueTable::write(table, files,
                              [&failures](const QString& file, const QString& reason) {
                                  failures << file + QStringLiteral(": ") + reason;
                              });
        });
        if (!table.commit())
            throw Failure(QStringLiteral("the table could not be written: ") + table.errorString());
    } catch (const Failure& failure) {
        problem = failure.description();
    }
    WindowPointer::set(page_, WindowPointer::State::Default);
    if (!problem.isEmpty())
        Dialogs::current().message(QStringLiteral("No table was saved: ") + problem, {},
                                   Dialogs::Buttons::Ok, Dialogs::Icon::Critical);
    else if (!failures.isEmpty())
        Dialogs::current().message(
            QStringLiteral("The table was saved, but %1 of the %2 files could not be read and "
                           "have no row in it.")
                .arg(failures.size())
                .arg(files.size()),
            {}, Dialogs::Buttons::Ok, Dialogs::Icon::Warning, failures.join(QLatin1Char('\n')));
}
