#pragma once

#include <QString>

// Output file naming and the questions and report around writing them.
namespace OutputFiles
{

// The PEM name of a destination: a trailing ".pfx" becomes ".pem", and ".pem" is appended
// when the name does not end in it (both case-sensitive).
QString pemFileName(const QString& destination);

// The PKCS#12 name derived from a PEM name: without ".pem", without the last extension of
// the file name itself (never a dot in a folder name), plus ".pfx".
QString pkcs12FileName(const QString& pemName);

// Asks whether an existing file may be overwritten. The wait cursor is lifted while the
// question is open and put back only when the answer is "Continue".
bool confirmOverwrite(const QString& title, const QString& fileName);

} // namespace OutputFiles
