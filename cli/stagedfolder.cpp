#include "stagedfolder.h"

#include "console.h"
#include "notes.h"
#include "refusals.h"

#include <QDir>

QString stagedFilePath(const QString& folder, const std::string& name)
{
    return QDir(folder).filePath(QString::fromStdString(name));
}

Refusal stagedRefusal(StagedFiles::Finding finding, const QString& folder, const StagedFiles& files)
{
    using Finding = StagedFiles::Finding;
    const QString target = stagedFilePath(folder, files.failedFile());
    switch (finding)
    {
    case Finding::Done:
        return std::nullopt;
    case Finding::FolderNotMade:
        return Refuse::folderNotMade(folder);
    case Finding::FolderNotWritable:
        return Refuse::folderNotWritable(folder);
    case Finding::FolderBusy:
        return Refuse::folderBusy(folder);
    case Finding::RecoveryFailed:
        return Refuse::interruptedNotFinished(folder, stagedFilePath(folder, StagedFiles::kJournalName));
    case Finding::TargetIsFolder:
        return Refuse::stagedTargetIsFolder(target, folder);
    case Finding::TargetRefused:
        return Refuse::stagedTargetRefused(target, folder);
    case Finding::JournalNotWritten:
        return Refuse::stagedNotBegun(folder);
    case Finding::PlaceFailed:
        return Refuse::stagedNotPlaced(target, folder);
    case Finding::PutBackFailed:
        return Refuse::stagedNotPutBack(target, folder);
    }
    return Refuse::stagedNotPlaced(target, folder);
}

Refusal openStagedFolder(Console& console, const QString& folder, bool force, StagedFiles& files)
{
    if (auto error = stagedRefusal(files.open(), folder, files))
        return error;
    if (files.recovered() == StagedFiles::Recovery::Finished)
        console.errLine(Note::interruptedRunFinished(folder));
    else if (files.recovered() == StagedFiles::Recovery::Discarded)
        console.errLine(Note::interruptedRunRemoved(folder));
    if (!force)
    {
        const std::string present = files.firstPresent();
        if (!present.empty())
            return Refuse::fileExists(stagedFilePath(folder, present));
    }
    return std::nullopt;
}

QByteArray stagingFile(const StagedFiles& files, const QString& name)
{
    return QByteArray::fromStdString(files.stagingPath(name.toStdString()));
}
