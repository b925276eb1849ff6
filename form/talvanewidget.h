#pragma once

#include "ui_talvanewidget.h"

#include <QStringList>
#include <QWidget>

struct CertificateSettings;
struct IssuingCertificate;

// The main window: the certificate form. It checks its input against itself and against the
// issuing certificate, writes it into the controller's settings record and then asks the
// controller to create the certificate.
class TalvaneWidget : public QWidget, public Ui::TalvaneWidget
{
    Q_OBJECT

public:
    // `settings` is borrowed: the controller owns the record and outlives the form.
    TalvaneWidget(QWidget* parent, CertificateSettings* settings);
    ~TalvaneWidget() override;

    // Shows `serialNumber` in the serial-number field.
    void setSerialNumber(qint64 serialNumber);

signals:
    // Emitted once the record holds the accepted input; carries the certificate type index
    // (0 root, 1 intermediate, 2 leaf).
    void CreateCertificatePressed(int certComboIndex);

private slots:
    void certificateTypeChanged(int index);
    void certificateNameButtonClicked();
    void rootCertificateButtonClicked();
    bool checkConsistency();
    bool checkDestinationPassword(QString* pErrorMsg = nullptr);
    bool checkPathlen(QString* pErrorMsg = nullptr);
    bool checkValidity(QString* pErrorMsg = nullptr);
    bool readIssuerRoot(QString* pErrorMsg = nullptr);
    void save();

private:
    bool init(CertificateSettings* settings);
    void loadSettings();

    // The form's warning box: title "Warning", one "OK" button, the form as parent.
    void showWarning(const QString& text);
    // How every check ends: with an error text the message is appended to it, without one a
    // failed check shows its message. Returns `passed`.
    bool report(bool passed, const QString& message, QString* pErrorMsg);
    // Reads the issuing PKCS#12 file afresh into `issuer`. On failure `message` holds the reason
    // and the offending field (path or password) is focused and selected.
    bool loadIssuer(IssuingCertificate& issuer, QString& message);
    // The steps of checkValidity: the issuer's dates must be readable (each one that is not is
    // reported, printed and logged), then the entered period is moved inside the issuer's.
    bool issuerDatesReadable(const IssuingCertificate& issuer, QString& message);
    bool correctIntoIssuerPeriod(const IssuingCertificate& issuer, QString& message);
    // The steps of checkConsistency after the password comparison; each appends to `errors`.
    bool checkTypeFields(QString& errors);
    bool checkIssuerFields(QString& errors);
    // Neither file the destination names may be the issuing file: that would destroy its key.
    bool checkDestinationSparesIssuer(QString& errors);
    bool checkDestinationFields(QString& errors);
    // The names the certificate's subject needs: given, and the entity short enough for its CN.
    bool checkNameFields(QString& errors);

    CertificateSettings* mpSettings = nullptr; // borrowed
    QStringList mCertificateTypeList;
    QStringList mAlgorithmList;
};
