#include "programfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace ProgramFolder {

namespace {
QString &overridden()
{
    static QString folder;
    return folder;
}
} // namespace

QString path()
{
    if (!overridden().isEmpty())
        return overridden();
    return QCoreApplication::applicationDirPath();
}

QString file(const QString &name)
{
    const QDir dir(path());
    const QString exact = dir.filePath(name);
    if (QFileInfo::exists(exact))
        return exact;
    const QStringList all =
        dir.entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &candidate : all) {
        if (candidate.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(candidate);
    }
    return exact;
}

bool exists(const QString &name)
{
    return QFileInfo(file(name)).isFile();
}

void setPath(const QString &folder)
{
    overridden() = folder.isEmpty() ? QString() : QDir::cleanPath(folder);
}

} // namespace ProgramFolder
