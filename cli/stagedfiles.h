#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// The files of one run, put in place all together or not at all, so that a run never leaves
// half a result and never costs the user a file.
//
// Every file is first written complete into a staging folder of the run's own inside the target
// folder: the same file system, so putting a file in place is a rename. commit() then moves each
// file that is in the way aside into the staging folder and the new one into its place, one after
// the other, and undoes every step taken when one fails. Until commit() nothing outside the
// staging folder changes, except that a missing target folder is made; a run that does not
// commit removes the folders it made again.
class StagedFiles
{
public:
    // `names`: file names inside `folder`, put in place in this order.
    StagedFiles(const QString& folder, const QStringList& names);
    // Removes the staging folder with everything left in it (the old files after a commit), and
    // without a commit the folders this run made. Keeps it when an old file could not be put back.
    ~StagedFiles();
    StagedFiles(const StagedFiles&) = delete;
    StagedFiles& operator=(const StagedFiles&) = delete;

    // Makes the target folder where needed and the staging folder. False with a sentence in
    // `failure` when either cannot be made.
    bool open(QString& failure);

    // Where the new content of `name` is written before commit().
    QString stagingPath(const QString& name) const;
    // The final path of `name`, the target folder as given.
    QString targetPath(const QString& name) const;
    // The target path of the first name that exists already (a dangling link counts), or empty.
    QString firstExisting() const;

    // Puts every file in place. False with a sentence in `failure` when that failed; the target
    // folder is then as it was before the run (or, when even that failed, the sentence says where
    // the old files are kept).
    bool commit(QString& failure);

private:
    struct Step
    {
        bool movedAside = false;
        bool placed = false;
    };
    bool place(const QString& name, Step& step, QString& failure);
    bool undo(const std::vector<Step>& steps);
    QString asidePath(const QString& name) const;

    QString mFolder;
    QStringList mNames;
    QString mStaging;         // empty until open()
    QStringList mMadeFolders; // innermost last
    bool mCommitted = false;
    bool mKeepStaging = false;
};
