#pragma once

#include <QString>
#include <QtGlobal>

// The serial-number trace: one file in the working directory holding the decimal digits of
// the last serial number used, nothing else.
QString serialNumberTracePath();

// Prints the trace file's absolute path, then reads the number into `serial`. A missing
// file leaves `serial` unchanged; content that is not a number reads as 0.
bool ReadSerialNumberTrace(qint64& serial);

// Replaces the trace file's content with the digits of `serial` (as an unsigned 64-bit
// number). The old content stays intact until the new one is complete, except where the folder
// takes no new file: then the file is written in place.
bool WriteSerialNumberTrace(qint64 serial);
