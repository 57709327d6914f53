#include "FileList.h"

#include "Failure.h"

#include <QTreeWidget>

FileList::FileList(QTreeWidget* view) : view_(view) {}

void FileList::AddPath(const QString& path) {
    view_->addTopLevelItem(new QTreeWidgetItem(QStringList{path}));
}

void FileList::AddPaths(const QStringList& paths) {
    QList<QTreeWidgetItem*> items;
    items.reserve(paths.size());
    for (const QString& path : paths)
        items << new QTreeWidgetItem(QStringList{path});
    view_->addTopLevelItems(items);
}

bool FileList::ContainsPath(const QString& path) const {
    bool found = false;
    for (int i = 0; i < view_->topLevelItemCount(); ++i)
        found = found || view_->topLevelItem(i)->text(0) == path;
    return found;
}

int FileList::Count() const {
    return view_->topLevelItemCount();
}

QString FileList::PathAt(int position) const {
    if (position < 1 || position > Count())
        throw Failure(QStringLiteral("Index out of bounds"));
    return view_->topLevelItem(position - 1)->text(0);
}

QString FileList::SelectedPath() const {
    const int position = SelectedPosition();
    return position > 0 ? PathAt(position) : QString();
}

int FileList::SelectedPosition() const {
    const QList<QTreeWidgetItem*> selected = view_->selectedItems();
    return selected.isEmpty() ? 0 : view_->indexOfTopLevelItem(selected.first()) + 1;
}

void FileList::RemoveSelected() {
    const int position = SelectedPosition();
    if (position > 0)
        delete view_->takeTopLevelItem(position - 1);
    // The list would select the next row on its own, and the click that removed a row would then
    // preview a file the user never clicked.
    view_->setCurrentItem(nullptr);
    view_->clearSelection();
}

void FileList::Clear() {
    view_->clear();
}

void FileList::setPathAt(int position, const QString& path) {
    if (position < 1 || position > Count())
        throw Failure(QStringLiteral("Index out of bounds"));
    view_->topLevelItem(position - 1)->setText(0, path);
}

void FileList::select(int position) {
    if (position < 1 || position > Count())
        return;
    QTreeWidgetItem* item = view_->topLevelItem(position - 1);
    view_->setCurrentItem(item);
    item->setSelected(true);
}

void FileList::ensureVisible(int position) {
    if (position >= 1 && position <= Count())
        view_->scrollToItem(view_->topLevelItem(position - 1));
}
