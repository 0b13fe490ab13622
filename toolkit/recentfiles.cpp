#include "recentfiles.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <memory>

namespace tk {

namespace {

QString& StorageFile() {
    static QString file;
    return file;
}

std::unique_ptr<QSettings> OpenSettings(const QString& program) {
    if (!StorageFile().isEmpty()) return std::make_unique<QSettings>(StorageFile(), QSettings::IniFormat);
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("qvx-asset-tools"),
                                       program);
}

QString Absolute(const QString& fileName) { return QFileInfo(fileName).absoluteFilePath(); }

}  // namespace

TRecentFiles::TRecentFiles(QString program, int capacity) : program_(std::move(program)), capacity_(capacity) {}

QStringList TRecentFiles::Files() const {
    auto settings = OpenSettings(program_);
    QStringList files = settings->value(program_ + QStringLiteral("/RecentFiles")).toStringList();
    files.removeAll(QString());
    files.removeDuplicates();
    while (files.size() > capacity_) files.removeLast();
    return files;
}

void TRecentFiles::Add(const QString& fileName) {
    const QString path = Absolute(fileName);
    QStringList files = Files();
    files.removeAll(path);
    files.prepend(path);
    while (files.size() > capacity_) files.removeLast();
    Store(files);
}

void TRecentFiles::Remove(const QString& fileName) {
    QStringList files = Files();
    files.removeAll(fileName);
    files.removeAll(Absolute(fileName));
    Store(files);
}

QList<QAction*> TRecentFiles::MakeActions(QObject* parent,
                                          const std::function<void(const QString&)>& open) const {
    QList<QAction*> actions;
    const QStringList files = Files();
    if (files.isEmpty()) return actions;
    auto* separator = new QAction(parent);
    separator->setSeparator(true);
    actions << separator;
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QString file = files[i];
        QString shown = QDir::toNativeSeparators(file);
        shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
        auto* action = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(shown), parent);
        action->setData(file);
        QObject::connect(action, &QAction::triggered, parent, [open, file] { open(file); });
        actions << action;
    }
    return actions;
}

void TRecentFiles::Store(const QStringList& files) const {
    auto settings = OpenSettings(program_);
    settings->setValue(program_ + QStringLiteral("/RecentFiles"), files);
    settings->sync();
}

void TRecentFiles::SetStorageFile(const QString& iniFile) { StorageFile() = iniFile; }

}  // namespace tk
