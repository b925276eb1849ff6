#pragma once

// The subject names a creating command takes (O, OU, CN), read and checked alike by every command.

#include "certificaterules.h"
#include "command.h"

#include <QString>

#include <vector>

// The text of `option`, when given, into `field`; an empty text is refused unless `emptyAllowed`.
Refusal readName(const Invocation& invocation, Option option, QString& field, bool emptyAllowed = false);

// One name of a certificate as given on the command line and as it goes into the certificate.
struct NameOption
{
    Option option = Option::Entity;
    CertificateRules::NameField field = CertificateRules::NameField::Entity; // limits the typed text
    QString typed;
    QString entry;              // the subject entry made of it: a CN with its roles
    const char* entryName = ""; // "common name", "organization", "organizational unit"
    bool leafEntity = false;    // a leaf's entity, whose role must not be given twice
};

// In this order: the engine's limit of every entry, the window's limit of every typed text, the
// characters the checkers accept, a leaf role given twice.
Refusal checkNameOptions(const std::vector<NameOption>& names);

// Names that only the user can give: the window's placeholder texts never go into a real
// certificate.
Refusal requireNames(const Invocation& invocation, const std::vector<Option>& options);
