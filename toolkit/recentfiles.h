// The list of files a program opened or saved last, most recent first,
// kept in the user's settings between runs.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class QAction;
class QObject;

namespace tk {

class TRecentFiles {
public:
    // `program` names the settings ("~/.config/qvx-asset-tools/<program>.conf").
    explicit TRecentFiles(QString program, int capacity = 8);

    QStringList Files() const;
    // Puts the file (made absolute) first; the oldest falls off the end.
    void Add(const QString& fileName);
    void Remove(const QString& fileName);

    // Menu entries for the list: a separator, then "&1 file", "&2 file", ...,
    // each calling `open` with its file. Owned by `parent`; none for an
    // empty list.
    QList<QAction*> MakeActions(QObject* parent, const std::function<void(const QString&)>& open) const;

    // Tests keep their lists in a file of their own (empty: the user's).
    static void SetStorageFile(const QString& iniFile);

private:
    void Store(const QStringList& files) const;

    QString program_;
    int capacity_;
};

}  // namespace tk
