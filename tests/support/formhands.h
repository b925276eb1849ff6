#pragma once

#include <QDateTime>
#include <QString>

class QDateTimeEdit;
class QLineEdit;
class TalvaneWidget;

// The user's hands on the real form: typing, choosing and pressing through the widgets, with
// the keyboard and the mouse, so that every signal the form listens to fires as it would.
namespace FormTestSupport
{

// The form the controller shows (null when none is shown).
TalvaneWidget* shownForm();

// Replaces the text of `edit` by typing: select all, erase, type.
void typeInto(QLineEdit* edit, const QString& text);
// Types `local` (local time) into a date-time edit field by field.
void typeDateTime(QDateTimeEdit* edit, const QDateTime& local);
// Types the validity period, given in any time spec, as the local times the form shows.
void typeValidity(TalvaneWidget* form, const QDateTime& start, const QDateTime& end);
// Picks a certificate type with the keyboard on the type list (0 root, 1 intermediate, 2 leaf).
void chooseType(TalvaneWidget* form, int type);
// Clicks "Create".
void pressCreate(TalvaneWidget* form);

// Fills a derived certificate (1 intermediate, 2 leaf): issuer file and password, destination
// with the password "destination secret", organization and entity; the validity is left alone.
void fillDerived(TalvaneWidget* form, int type, const QString& issuer, const QString& issuerPassword,
                 const QString& destination);
// Creates root.pem/.pfx and intermediate.pem/.pfx in the working directory, valid from `start`
// to `end`, with the password "destination secret" (two presses of Create).
void createRootAndIntermediate(TalvaneWidget* form, const QDateTime& start, const QDateTime& end);

// The text the user sees selected in a line edit is all of it.
bool wholeTextSelected(const QLineEdit* edit);

} // namespace FormTestSupport
