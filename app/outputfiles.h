#pragma once

#include "outputnames.h"

#include <QString>

// The questions and report around writing the output files (their names: outputnames.h).
namespace OutputFiles
{

// Asks whether an existing file may be overwritten. The wait cursor is lifted while the
// question is open and put back only when the answer is "Continue".
bool confirmOverwrite(const QString& title, const QString& fileName);

} // namespace OutputFiles
