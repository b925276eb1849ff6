#pragma once

#include <QString>
#include <QStringList>

// Standard output of a creating command carries the names of the files written and nothing
// else, so that a script can take them from there. While the object lives, everything else
// that would reach standard output (the engine's and the board's diagnostic lines, which are
// printed there) goes to standard error: file descriptor 1 points at standard error, and the
// list goes to a saved copy of the original standard output.
class FileListOutput
{
public:
    FileListOutput();
    ~FileListOutput();
    FileListOutput(const FileListOutput&) = delete;
    FileListOutput& operator=(const FileListOutput&) = delete;

    // One path per line, as given.
    void list(const QStringList& paths);

private:
    int mSaved = -1; // the original standard output; -1 when it could not be set apart
};
