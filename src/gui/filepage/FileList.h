#pragma once

#include <QString>
#include <QStringList>

class QTreeWidget;

// The input files of the first page, one full path per row of the list control, in the order
// they were added; duplicates allowed. Positions run from 1 to Count().
class FileList {
public:
    explicit FileList(QTreeWidget* view);

    void AddPath(const QString& path);
    // Many rows at once, much faster than one by one.
    void AddPaths(const QStringList& paths);
    bool ContainsPath(const QString& path) const;
    int Count() const;
    // Throws Failure for a position outside 1..Count().
    QString PathAt(int position) const;
    // Empty when no row is selected.
    QString SelectedPath() const;
    // 0 when no row is selected.
    int SelectedPosition() const;
    void RemoveSelected();
    void Clear();

    void setPathAt(int position, const QString& path);
    void select(int position);
    void ensureVisible(int position);

    QTreeWidget* view() const { return view_; }

private:
    QTreeWidget* view_;
};
