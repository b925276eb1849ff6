#pragma once

// A folder a command writes as one result (a chain, a renewed chain): the engine's staged writer
// opened, and its findings worded.

#include "command.h"
#include "stagedfiles.h"

#include <QString>

#include <string>

class Console;

// A file of the folder as the user named it: the folder as given.
QString stagedFilePath(const QString& folder, const std::string& name);

// The refusal for `finding` of `files` (borrowed) writing into `folder`; none for Done.
Refusal stagedRefusal(StagedFiles::Finding finding, const QString& folder, const StagedFiles& files);

// Locks the folder and deals with what an interrupted run left (said on standard error); without
// `force`, a file of the result already there is refused.
Refusal openStagedFolder(Console& console, const QString& folder, bool force, StagedFiles& files);

// The staging path of `name`, for the engine's writers.
QByteArray stagingFile(const StagedFiles& files, const QString& name);
