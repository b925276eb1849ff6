#pragma once

class QComboBox;
class QDateTimeEdit;
class QFrame;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpacerItem;
class QVBoxLayout;
class QWidget;

// The widget tree of the main form. Every pointer is filled by setupUi and owned by the Qt
// object tree of the form it was set up on (the layouts and spacers by their layouts).
// The members follow the frames in creation order; the grid rows put the frames on screen
// in the order type, destination, issuer, subject, validity, buttons.
class Ui_TalvaneWidget
{
public:
    QGridLayout* gridLayout;

    QFrame* mpDestinationFrame;
    QVBoxLayout* vboxLayout;
    QLabel* mpDestinationLabel;
    QHBoxLayout* hboxLayout;
    QLabel* mpDestinationNameLabel;
    QPushButton* mpCertificateNameToolButton;
    QLineEdit* mpDestinationNameLineEdit;
    QHBoxLayout* hboxLayout1;
    QLabel* mpDestinationPasswordLabel;
    QLineEdit* mpDestinationPasswordLineEdit;
    QHBoxLayout* hboxLayout2;
    QLabel* mpDestinationPasswordRepLabel;
    QLineEdit* mpDestinationPasswordRepLineEdit;

    QFrame* mpSubjectFrame;
    QVBoxLayout* vboxLayout1;
    QLabel* mpSubjectLabel;
    QHBoxLayout* hboxLayout3;
    QLabel* mpRootNameLabel;
    QLineEdit* mpRootNameLineEdit;
    QHBoxLayout* hboxLayout4;
    QLabel* mpOrganizationLabel;
    QLineEdit* mpOrganizationLineEdit;
    QHBoxLayout* hboxLayout5;
    QLabel* mpEntityLabel;
    QLineEdit* mpEntityLineEdit;
    QHBoxLayout* hboxLayout6;
    QLabel* mpSerialLabel;
    QLineEdit* mpSerialLineEdit;
    QHBoxLayout* hboxLayout7;
    QLabel* mpAlgorithmLabel;
    QComboBox* mpAlgorithmComboBox;

    QFrame* mpValidityFrame;
    QGridLayout* gridLayout1;
    QLabel* mpValidityLabel;
    QHBoxLayout* hboxLayout8;
    QLabel* mpStartValidityLabel;
    QDateTimeEdit* mpStartValidityDateTimeEdit;
    QHBoxLayout* hboxLayout9;
    QLabel* mpEndValidityLabel;
    QDateTimeEdit* mpEndValidityDateTimeEdit;

    QFrame* mpTypeFrame;
    QGridLayout* gridLayout2;
    QHBoxLayout* hboxLayout10;
    QLabel* mpCertificateTypeLabel;
    QComboBox* mpCertificateTypeComboBox;

    QFrame* mpButtonFrame;
    QGridLayout* gridLayout3;
    QSpacerItem* mpButtonSpacer;
    QPushButton* mpCreateButton;

    QFrame* mpCaFrame;
    QVBoxLayout* vboxLayout2;
    QLabel* mpCACertificateLabel;
    QHBoxLayout* hboxLayout11;
    QLabel* mpRootLabel;
    QPushButton* mpRootCertificateToolButton;
    QLineEdit* mpRootLineEdit;
    QHBoxLayout* hboxLayout12;
    QLabel* mpRootPasswordLabel;
    QLineEdit* mpRootPasswordLineEdit;
    QHBoxLayout* hboxLayout13;
    QLabel* mpPathLengthLabel;
    QLineEdit* mpPathLengthLineEdit;

    // The gaps between the frames, top to bottom; the one above the buttons takes the spare
    // height.
    QSpacerItem* mpTopSpacer;
    QSpacerItem* mpBelowTypeSpacer;
    QSpacerItem* mpBelowDestinationSpacer;
    QSpacerItem* mpBelowCaSpacer;
    QSpacerItem* mpBelowSubjectSpacer;
    QSpacerItem* mpAboveButtonsSpacer;
    QSpacerItem* mpBottomSpacer;

    // Builds the tree on `form`, fixes the form at 400 x 450 and sets the texts.
    void setupUi(QWidget* form);
    // Sets the window title and every label and button text.
    void retranslateUi(QWidget* form);
};

namespace Ui
{
class TalvaneWidget : public Ui_TalvaneWidget
{
};
} // namespace Ui
