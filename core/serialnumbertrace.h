#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The serial-number trace: one file in the working directory holding the decimal digits of
// the last serial number used, nothing else. Every access takes the file's exclusive lock, and
// the file is written in place under it, so that runs of the window and of the command line
// started together never take the same number. Links to the trace are followed only where the
// kernel would follow them for this process, and only a regular file is read or written.
QString serialNumberTracePath();

// Prints the trace file's absolute path, then reads the number into `serial` the window's way:
// the first line as a number, anything else as 0. A trace that is missing or cannot be read
// leaves `serial` unchanged and answers false.
bool ReadSerialNumberTrace(qint64& serial);

// Replaces the trace file's content with the digits of `serial` (as an unsigned 64-bit
// number), making the file where it is missing. A failed write leaves the old content whole.
bool WriteSerialNumberTrace(qint64 serial);

// Serial numbers taken for one run before any key is made: what the trace held and what it was
// set to, so that the run's numbers are its own whatever other runs do.
struct SerialReservation
{
    enum class Finding
    {
        Reserved,   // the numbers are the run's; the trace holds the last of them (or more)
        Unreadable, // the trace is there but may not be read, is no regular file, or is reached
                    // through a link the kernel would not follow
        NotANumber, // the trace holds something else than the digits of one number (empty, a
                    // sign, letters, an exponent, more digits than a 64-bit number takes)
        Unwritable, // the trace could be read (or is missing) but the new number cannot be recorded
        OutOfRange  // the numbers would pass the largest serial number
    };

    Finding finding = Finding::Unwritable;
    qint64 first = 0; // the run's first number
    qint64 count = 0;
    qint64 last = 0; // the number the trace held (0 for a missing trace)

    bool reserved() const { return finding == Finding::Reserved; }

    // What the trace looked like before and what it was set to, to give the numbers back.
    bool traceExisted = false;
    QByteArray previous;
    QByteArray recorded; // empty when the trace was left as it was
};

// `count` consecutive numbers after the trace's, and not below `atLeast`; the trace is set to the
// last of them. A missing trace starts at 1. The trace is read strictly: digits only, at most one
// line end after them.
SerialReservation ReserveSerialNumbers(qint64 count, qint64 atLeast = 1);

// Numbers the user chose (first .. first + count - 1): recorded in the trace where they pass its
// number, which they never lower.
SerialReservation RecordGivenSerialNumbers(qint64 first, qint64 count);

// Gives back the numbers of a run that made nothing with them, while no run took a later one:
// the trace gets its earlier content again (or is taken away when there was none). True when the
// trace is as it should be afterwards (given back, or kept because another run went on from it).
bool ReleaseSerialNumbers(const SerialReservation& reservation);
