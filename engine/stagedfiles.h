#pragma once

#include "enginefiles.h"

#include <memory>
#include <string>
#include <vector>

class UnsyncedWrites;

// The files of one run into one folder, put in place all together or not at all, so that a run
// never leaves half a result, never costs the user a file, and never mixes its files with those
// of another run.
//
// The folder is locked for the whole run (a lock file in it), so a second run into it is turned
// away instead of racing this one. Every file is first written complete into a staging folder of
// the run's own inside the target folder: the same file system, so putting a file in place is a
// rename. commit() writes a journal into the folder (complete and on the disk) naming the staging
// folder and every file, then moves each file that is in the way aside into the staging folder
// and the new one into its place. A target that is a link is written through to its file, as the
// kernel would follow it (writetarget.h); a replaced file keeps its mode and group, a key stays
// owner-only. A step that fails undoes the ones before it.
//
// A process killed in the middle leaves the journal. The next run into the folder finds it under
// the lock and finishes the commit from the staged files (every one of them complete before the
// journal was written), so the folder holds either the old files or the new ones, and the old
// files aside are never left without the journal that leads to them. Staging folders without a
// journal (a run killed before its commit) hold only files never put in place and are removed.
class StagedFiles
{
public:
    enum class Finding
    {
        Done,
        FolderNotMade,     // the folder is missing and cannot be made
        FolderNotWritable, // the folder takes no lock file or no staging folder
        FolderBusy,        // another run holds the folder
        RecoveryFailed,    // an interrupted commit could not be finished; its journal is kept
        TargetIsFolder,    // failedFile() is a folder: never replaced
        TargetRefused,     // a link the kernel would not follow, a device, a file this process may not write
        JournalNotWritten, // the commit could not start (a full disk); nothing changed
        PlaceFailed,       // failedFile() could not be put in place; the folder is as it was
        PutBackFailed      // and not every step could be undone: the journal is kept for the next run
    };
    enum class Recovery
    {
        None,
        Finished, // an interrupted commit was finished: the folder holds that run's files
        Discarded // staging folders of runs that never committed were removed
    };

    struct File
    {
        std::string name; // inside the folder, put in place in this order
        FileAccess access = FileAccess::Shared;
    };

    StagedFiles(const std::string& folder, std::vector<File> files);
    // Without a commit, removes the staging folder and the folders this run made; lets go of the
    // lock. Keeps the staging folder while a journal leads to it.
    ~StagedFiles();
    StagedFiles(const StagedFiles&) = delete;
    StagedFiles& operator=(const StagedFiles&) = delete;

    // Makes the folder where needed, takes its lock and deals with what an interrupted run left.
    Finding open();
    Recovery recovered() const { return mRecovered; }
    // The first of the files already there (a file, a folder or a link that leads nowhere); empty
    // when none is.
    std::string firstPresent() const;

    // Makes the staging folder (after open()).
    Finding stage();
    // Where the new content of `name` is written before commit(), by the engine's writers on the
    // thread that called stage(): they leave the syncs to commit(), which makes all at once.
    std::string stagingPath(const std::string& name) const;
    // The staging folder, for an UnsyncedWrites of another thread that writes into it (commit()
    // syncs every staged file, whichever thread wrote it).
    const std::string& stagingFolder() const { return mStaging; }

    // Puts every file in place.
    Finding commit();
    // The file a failing commit() stopped at.
    const std::string& failedFile() const { return mFailedFile; }

    // The names this writer gives its own files in the folder.
    static const char kJournalName[];
    static const char kLockName[];
    static const char kStagingPrefix[];

private:
    struct Step;
    bool place(Step& step);
    bool undo(std::vector<Step>& steps, std::size_t count);
    Finding prepare(std::vector<Step>& steps);
    bool syncStaged(const std::vector<Step>& steps);
    bool writeJournal(const std::vector<Step>& steps);
    Finding recover();
    void finishCleanly();
    std::string inFolder(const std::string& name) const;

    std::string mFolder; // absolute
    std::vector<File> mFiles;
    std::vector<std::string> mMadeFolders; // outermost first
    std::string mStaging;                  // empty until stage()
    std::unique_ptr<UnsyncedWrites> mUnsynced;
    int mLockFd = -1;
    Recovery mRecovered = Recovery::None;
    std::string mFailedFile;
    bool mCommitted = false;
    bool mJournalKept = false;
};
