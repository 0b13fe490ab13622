#include "recentfiles.h"

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

void TRecentFiles::Store(const QStringList& files) const {
    auto settings = OpenSettings(program_);
    settings->setValue(program_ + QStringLiteral("/RecentFiles"), files);
    settings->sync();
}

void TRecentFiles::SetStorageFile(const QString& iniFile) { StorageFile() = iniFile; }

}  // namespace tk
