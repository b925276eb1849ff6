// The form's checks on Create and the hand-over of the accepted input to the controller.

#include "talvanewidget.h"

#include "certificatesettings.h"
#include "validitylog.h"
#include "zidcertificate.h"

#include <QComboBox>
#include <QDateTime>
#include <QDateTimeEdit>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <openssl/crypto.h>

#include <cstdio>
#include <string>

namespace
{

enum CertificateType
{
    RootType = 0,
    IntermediateType = 1,
    LeafType = 2,
};

const char kIssuerMissing[] =
    "Issuing certificate does not exist. Error reading .pfx file!\nPlease check file path!";
const char kIssuerUnreadable[] = "Error reading .pfx file!\nPlease check file/password!";
const char kIssuerPathLengthZero[] =
    "You cannot create a derived certificate.\n Issuing Certificate has a Path Length of 0!";

// The largest serial number the certificate engine writes faithfully: it keeps the low 32 bits
// as a signed value, and RFC 5280 wants a positive serial.
constexpr qint64 kLargestSerialNumber = 2147483647;

void focusAndSelect(QLineEdit* edit)
{
    edit->selectAll();
    edit->setFocus(Qt::OtherFocusReason);
}

void focusAndSelect(QDateTimeEdit* edit)
{
    edit->selectAll();
    edit->setFocus(Qt::OtherFocusReason);
}

// An 8-bit copy of a password for the engine, wiped when it goes.
class PasswordCopy
{
public:
    explicit PasswordCopy(const QString& text) : mText(text.toStdString()) {}
    ~PasswordCopy() { OPENSSL_cleanse(mText.data(), mText.size()); }
    PasswordCopy(const PasswordCopy&) = delete;
    PasswordCopy& operator=(const PasswordCopy&) = delete;
    const char* c_str() const { return mText.c_str(); }

private:
    std::string mText;
};

// The issuer's printed validity time ("Jan 15 08:30:00 2009 GMT", or "May  5 ..." with the day
// padded by a blank) as a UTC date-time; invalid when the text has another form. The zone suffix
// is not inspected. The text is read as UTC from the start: read as local time first, an issuer
// time inside the local clock's spring-forward gap (02:30 on the last Sunday of March in
// Berlin) would not exist and be refused.
QDateTime parseIssuerTime(const QString& printed)
{
    QString text = printed;
    text.chop(4);
    text += QStringLiteral(" Z");
    QDateTime time = QDateTime::fromString(text, QStringLiteral("MMM d HH:mm:ss yyyy t"));
    if (!time.isValid())
        time = QDateTime::fromString(text, QStringLiteral("MMM  d HH:mm:ss yyyy t"));
    return time.toUTC();
}

QString dateFormatError(const char* which, const QString& printed)
{
    return QStringLiteral("Error reading date format!\n") + QLatin1String(which) +
           QStringLiteral(" Date in cert is: \"") + printed +
           QStringLiteral("\"\nFormat expected: MMM d HH:mm:ss yyyy GMT\n");
}

// Dates are compared in UTC at whole seconds: the date-time edits keep the milliseconds of the
// clock, a certificate holds none.
QDateTime wholeSecondsUtc(const QDateTime& time)
{
    QDateTime utc = time.toUTC();
    utc.setTime(QTime(utc.time().hour(), utc.time().minute(), utc.time().second()));
    return utc;
}

} // namespace

void TalvaneWidget::showWarning(const QString& text)
{
    QMessageBox box(QMessageBox::Warning, tr("Warning"), text, QMessageBox::NoButton, this);
    box.setDefaultButton(box.addButton(tr("OK"), QMessageBox::AcceptRole));
    box.setEscapeButton(nullptr);
    box.exec();
}

bool TalvaneWidget::report(bool passed, const QString& message, QString* pErrorMsg)
{
    if (pErrorMsg != nullptr)
        pErrorMsg->append(message);
    else if (!passed)
        showWarning(message);
    return passed;
}

bool TalvaneWidget::loadIssuer(ZIDCertificate& issuer, QString& message)
{
    const QString path = mpRootLineEdit->text();
    if (!QFile::exists(path))
    {
        message = QString::fromLatin1(kIssuerMissing);
        focusAndSelect(mpRootLineEdit);
        return false;
    }
    const PasswordCopy password(mpRootPasswordLineEdit->text());
    if (issuer.ReadPKCS12(path.toStdString().c_str(), password.c_str()) == 0)
    {
        message = QString::fromLatin1(kIssuerUnreadable);
        focusAndSelect(mpRootPasswordLineEdit);
        return false;
    }
    return true;
}

bool TalvaneWidget::readIssuerRoot(QString* pErrorMsg)
{
    ZIDCertificate issuer;
    QString message;
    const bool passed = loadIssuer(issuer, message);
    return report(passed, message, pErrorMsg);
}

bool TalvaneWidget::checkPathlen(QString* pErrorMsg)
{
    QString message;
    ZIDCertificate issuer;
    if (!loadIssuer(issuer, message))
        return report(false, message, pErrorMsg);

    const long issuerPathLength = issuer.getPathLength();
    // The leaf's placeholder and an empty field read as 0.
    const long requested = mpPathLengthLineEdit->text().toLong();
    if (requested < issuerPathLength)
        return report(true, QString(), pErrorMsg);

    // Only an intermediate can ask for too much under an issuer that allows more below it: a
    // leaf's field reads as 0.
    if (issuerPathLength > 0)
    {
        message = QStringLiteral("The entered path length is too long!\nA valid path length is lower than ") +
                  QString::number(issuerPathLength) + QStringLiteral(".\n") +
                  QStringLiteral("Path length field will be set to the maximum.");
        mpPathLengthLineEdit->setText(QString::number(issuerPathLength - 1));
    }
    else
    {
        message = QString::fromLatin1(kIssuerPathLengthZero);
        mpPathLengthLineEdit->setText(QString::number(issuerPathLength));
    }
    // A leaf's field is disabled: it shows the issuer's value but cannot take the focus.
    if (mpCertificateTypeComboBox->currentIndex() != LeafType)
        focusAndSelect(mpPathLengthLineEdit);
    return report(false, message, pErrorMsg);
}

bool TalvaneWidget::checkValidity(QString* pErrorMsg)
{
    QString message;
    QDateTime issuerStart;
    QDateTime issuerEnd;
    bool result = false;
    {
        ZIDCertificate issuer;
        result = loadIssuer(issuer, message);
        if (result)
        {
            const QString startText = QString::fromStdString(issuer.getValidityStart());
            issuerStart = parseIssuerTime(startText);
            if (!issuerStart.isValid())
            {
                const QString error = dateFormatError("Start", startText);
                std::printf("%s", error.toLocal8Bit().constData());
                message += error;
                ValidityLog::append(error);
                result = false;
            }
            const QString endText = QString::fromStdString(issuer.getValidityEnd());
            issuerEnd = parseIssuerTime(endText);
            if (!issuerEnd.isValid())
            {
                const QString error = dateFormatError("End", endText);
                std::printf("%s", error.toLocal8Bit().constData());
                message += error;
                // One record per check: the start date's failure already names the certificate.
                if (result)
                    ValidityLog::append(error);
                result = false;
            }
        }
    }

    if (result)
    {
        if (wholeSecondsUtc(mpStartValidityDateTimeEdit->dateTime()) < issuerStart)
        {
            const QDateTime earliest = issuerStart.toLocalTime();
            message +=
                QStringLiteral("The entered validity start date is wrong!\nMust be equal or later than ") +
                earliest.toString(Qt::TextDate) + QStringLiteral(".\n") +
                QStringLiteral("Start validity field will be set to the earliest possible date and time.");
            mpStartValidityDateTimeEdit->setDateTime(earliest);
            focusAndSelect(mpStartValidityDateTimeEdit);
            result = false;
        }
        if (wholeSecondsUtc(mpEndValidityDateTimeEdit->dateTime()) > issuerEnd)
        {
            const QDateTime latest = issuerEnd.toLocalTime();
            message +=
                QStringLiteral("The entered validity end date is wrong!\nMust be equal or ealier than ") +
                latest.toString(Qt::TextDate) + QStringLiteral(".\n") +
                QStringLiteral("End validity field will be set to the latest possible date and time.");
            mpEndValidityDateTimeEdit->setDateTime(latest);
            focusAndSelect(mpEndValidityDateTimeEdit);
            result = false;
        }
    }
    return report(result, message, pErrorMsg);
}

bool TalvaneWidget::checkDestinationPassword(QString* pErrorMsg)
{
    if (mpDestinationPasswordLineEdit->text() == mpDestinationPasswordRepLineEdit->text())
        return true;
    const QString message = tr("The entered passwords do not match!");
    if (pErrorMsg != nullptr)
    {
        pErrorMsg->append(message);
        return false;
    }
    // Only on its own (Return in the repeat field) does the check send the user back there.
    showWarning(message);
    focusAndSelect(mpDestinationPasswordRepLineEdit);
    return false;
}

bool TalvaneWidget::checkTypeFields(QString& errors)
{
    const int type = mpCertificateTypeComboBox->currentIndex();
    if (type == RootType || type == IntermediateType)
    {
        if (mpPathLengthLineEdit->text().toInt() <= 0)
        {
            errors += type == RootType
                          ? QStringLiteral("Invalid path length for root certificate!\n"
                                           "Please choose path length larger than 0.\n")
                          : QStringLiteral("Invalid path length for intermediate certificate!\n"
                                           "Please choose path length larger than 0 or create a leaf "
                                           "certificate.\n");
            mpPathLengthLineEdit->setText(QStringLiteral("1"));
            focusAndSelect(mpPathLengthLineEdit);
            return false;
        }
    }
    if (type == IntermediateType || type == LeafType)
        return checkIssuerFields(errors);
    return true;
}

bool TalvaneWidget::checkIssuerFields(QString& errors)
{
    if (mpRootLineEdit->text().isEmpty())
    {
        errors += QStringLiteral("Please choose file name for Issuing Certificate!\n");
        return false;
    }
    if (mpRootPasswordLineEdit->text().isEmpty())
    {
        errors += QStringLiteral("Please enter password for Issuing Certificate!\n");
        return false;
    }
    // Each check reads the issuing file again: a file or password changed since the last press
    // counts at once.
    return readIssuerRoot(&errors) && checkPathlen(&errors) && checkValidity(&errors);
}

bool TalvaneWidget::checkDestinationFields(QString& errors)
{
    if (mpDestinationNameLineEdit->text().isEmpty())
    {
        errors += QStringLiteral("Please choose file name for Destination Certificate!\n");
        mpDestinationNameLineEdit->setFocus(Qt::OtherFocusReason);
        return false;
    }
    if (mpDestinationPasswordLineEdit->text().isEmpty())
    {
        errors += QStringLiteral("Please enter password for Destination Certificate!\n");
        mpDestinationPasswordLineEdit->setFocus(Qt::OtherFocusReason);
        return false;
    }
    // The validator keeps typed serials in range, but an empty field, 0, or a number the
    // controller offers after a trace file that has grown past the range would make a
    // certificate with a serial of 0 or a negative one.
    bool isNumber = false;
    const qint64 serial = mpSerialLineEdit->text().toLongLong(&isNumber);
    if (!isNumber || serial < 1 || serial > kLargestSerialNumber)
    {
        errors += QStringLiteral("Invalid serial number!\n"
                                 "Please choose a serial number between 1 and 2147483647.\n");
        focusAndSelect(mpSerialLineEdit);
        return false;
    }
    return true;
}

bool TalvaneWidget::checkConsistency()
{
    QString errors;
    bool ok = checkDestinationPassword(&errors);
    ok = ok && checkTypeFields(errors);
    ok = ok && checkDestinationFields(errors);

    const QDateTime start = mpStartValidityDateTimeEdit->dateTime().toUTC();
    const QDateTime end = mpEndValidityDateTimeEdit->dateTime().toUTC();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (ok && start < end && now < end)
        return true;
    if (ok)
        errors += QStringLiteral("Invalid validity period for the certificate!\n");
    showWarning(errors);
    return false;
}

void TalvaneWidget::save()
{
    if (!checkConsistency())
        return;

    QString entityName = mpEntityLineEdit->text();
    if (!entityName.startsWith(QLatin1Char('.')))
        entityName.prepend(QLatin1Char('.'));
    if (mpSettings == nullptr)
        return;

    const int type = mpCertificateTypeComboBox->currentIndex();
    CertificateSettings& settings = *mpSettings;
    switch (type)
    {
    case RootType:
        settings.issuerFileName.clear();
        settings.issuerPassword.clear();
        settings.ca = true;
        settings.pathLength = static_cast<int>(mpPathLengthLineEdit->text().toLongLong());
        settings.rootName = mpRootNameLineEdit->text();
        break;
    case IntermediateType:
        settings.issuerFileName = mpRootLineEdit->text();
        settings.issuerPassword = mpRootPasswordLineEdit->text();
        settings.ca = true;
        settings.pathLength = static_cast<int>(mpPathLengthLineEdit->text().toLongLong());
        break;
    case LeafType:
        settings.issuerFileName = mpRootLineEdit->text();
        settings.issuerPassword = mpRootPasswordLineEdit->text();
        settings.ca = false;
        settings.pathLength = 0;
        entityName.prepend(QStringLiteral("CS"));
        break;
    default:
        break;
    }

    settings.destinationFileName = mpDestinationNameLineEdit->text();
    settings.destinationPassword = mpDestinationPasswordLineEdit->text();
    settings.organizationName = mpOrganizationLineEdit->text();
    settings.entityName = entityName;
    settings.serialNumber = mpSerialLineEdit->text().toLongLong();
    settings.signingAlgorithm = mpAlgorithmComboBox->currentIndex();
    settings.validityStart = mpStartValidityDateTimeEdit->dateTime().toUTC();
    settings.validityEnd = mpEndValidityDateTimeEdit->dateTime().toUTC();

    emit CreateCertificatePressed(type);
}
