#pragma once

// The kinds of value talvane-chain's options take, each read by one parser, and the times as its
// sentences show them.

#include <QDateTime>
#include <QString>

#include <optional>

// A plain decimal number of at most 19 digits that a qint64 holds (up to 2^63-1); anything else
// (signs, spaces, letters, a larger number) is none.
std::optional<qint64> parseWholeNumber(const QString& text);

// ISO 8601; without an offset the time is local, as in the window's date fields. Whole seconds:
// certificates hold no more.
std::optional<QDateTime> parseTime(const QString& text);

// A number of days of at least `least`.
std::optional<qint64> parseDays(const QString& text, qint64 least);

// A time as sentences show it: ISO 8601 in UTC.
QString printed(const QDateTime& time);
