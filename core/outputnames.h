#pragma once

#include <QString>

// The names of the two output files, shared by the window and the command line.
namespace OutputFiles
{

// The PEM name of a destination: a trailing ".pfx" becomes ".pem", and ".pem" is appended
// when the name does not end in it (both case-sensitive).
QString pemFileName(const QString& destination);

// The PKCS#12 name derived from a PEM name: without ".pem", without the last extension of
// the file name itself (never a dot in a folder name), plus ".pfx".
QString pkcs12FileName(const QString& pemName);

// Whether one of the two files written for `destination` is the file `existing`: compared as
// files (device and inode), so relative names, "..", symbolic and hard links lead to the same
// answer as the names the user typed. A name that does not exist yet is taken by its absolute path.
bool overwrites(const QString& destination, const QString& existing);

} // namespace OutputFiles
