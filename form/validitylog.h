#pragma once

#include <QDate>
#include <QString>

// The program's only log: one file per day in the working directory that records, with a time
// stamp, each issuer validity text the form could not read. Each record opens the file, appends
// one line and closes it again, so a record is on disk as soon as it is written and nothing is
// held open between checks.
class ValidityLog
{
public:
    // "<working directory>/Talvane_<yyyy-MM-dd>.log" for the given local date.
    static QString filePath(const QDate& day);

    // Appends "<local date-time> : TalvaneWidget::checkValidity(): <message, simplified>" and a
    // line end to today's file. When that fails, one line on standard output says so and the
    // record is lost; false then.
    static bool append(const QString& message);
};
