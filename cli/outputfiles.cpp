#include "outputfiles.h"

#include "refusals.h"

#include <QDir>
#include <QFileInfo>

Refusal checkNewFiles(const QStringList& files, bool force)
{
    const QString& first = files.front();
    if (!QFileInfo(QFileInfo(first).absolutePath()).isDir())
        return Refuse::folderMissing(QDir::toNativeSeparators(QFileInfo(first).path()),
                                     OptionText(Option::Out));
    if (!force)
        for (const QString& name : files)
            if (!name.isEmpty() && (QFileInfo::exists(name) || QFileInfo(name).isSymLink()))
                return Refuse::fileExists(name);
    return std::nullopt;
}
