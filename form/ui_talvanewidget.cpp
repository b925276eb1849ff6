#include "ui_talvanewidget.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDateTimeEdit>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>
#include <QSpacerItem>
#include <QVBoxLayout>

namespace
{

// Row labels line up in one column of this width.
constexpr int kLabelWidth = 135;
// Every single-line control is exactly this high, so that the style cannot stretch the rows.
constexpr int kRowHeight = 15;
constexpr int kFrameSpacing = 3;
constexpr int kRowSpacing = 6;

// A panel that paints its own background but no border.
QFrame* makeFrame(QWidget* parent, const char* name)
{
    auto* frame = new QFrame(parent);
    frame->setObjectName(name);
    frame->setAutoFillBackground(true);
    frame->setFrameShape(QFrame::NoFrame);
    frame->setFrameShadow(QFrame::Raised);
    return frame;
}

template <typename Layout> Layout* makeFrameLayout(QFrame* frame, const char* name)
{
    auto* layout = new Layout(frame);
    layout->setSpacing(kFrameSpacing);
    layout->setObjectName(name);
    layout->setContentsMargins(0, 0, 0, 0);
    return layout;
}

QHBoxLayout* makeRow(const char* name)
{
    auto* row = new QHBoxLayout();
    row->setSpacing(kRowSpacing);
    row->setObjectName(name);
    row->setContentsMargins(0, 0, 0, 0);
    return row;
}

void setRowHeight(QWidget* widget, int minimumWidth = 0)
{
    widget->setMinimumSize(minimumWidth, kRowHeight);
    widget->setMaximumSize(QWIDGETSIZE_MAX, kRowHeight);
}

// The label in front of an input: a fixed-policy column at least kLabelWidth wide, optionally
// pinned to the row height.
QLabel* makeRowLabel(QWidget* parent, const char* name, bool rowHeight)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    if (rowHeight)
        setRowHeight(label, kLabelWidth);
    else
        label->setMinimumSize(kLabelWidth, 0);
    return label;
}

QLineEdit* makeLineEdit(QWidget* parent, const char* name)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    setRowHeight(edit);
    return edit;
}

// The small "..." button that opens a file dialog. It takes focus from the keyboard only, so a
// mouse click leaves the focus in the file-name field.
QPushButton* makeFileButton(QWidget* parent, const char* name)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(name);
    button->setMinimumSize(18, kRowHeight);
    button->setMaximumSize(18, kRowHeight);
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

QComboBox* makeComboBox(QWidget* parent, const char* name)
{
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    setRowHeight(combo);
    return combo;
}

QDateTimeEdit* makeDateTimeEdit(QWidget* parent, const char* name)
{
    auto* edit = new QDateTimeEdit(parent);
    edit->setObjectName(name);
    setRowHeight(edit);
    return edit;
}

QLabel* makeFixedLabel(QWidget* parent, const char* name)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setMinimumSize(kLabelWidth, kRowHeight);
    label->setMaximumSize(kLabelWidth, kRowHeight);
    return label;
}

QSpacerItem* makeGap(QSizePolicy::Policy vertical = QSizePolicy::Fixed)
{
    return new QSpacerItem(400, 15, QSizePolicy::Minimum, vertical);
}

} // namespace

void Ui_TalvaneWidget::setupUi(QWidget* form)
{
    if (form->objectName().isEmpty())
        form->setObjectName("TalvaneWidget");
    form->resize(400, 450);
    form->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    form->setMinimumSize(400, 450);
    form->setMaximumSize(400, 450);

    gridLayout = new QGridLayout(form);
    gridLayout->setSpacing(kFrameSpacing);
    gridLayout->setObjectName("gridLayout");
    gridLayout->setContentsMargins(0, 0, 0, 0);

    // Destination: the certificate to create and its password.
    mpDestinationFrame = makeFrame(form, "mpDestinationFrame");
    vboxLayout = makeFrameLayout<QVBoxLayout>(mpDestinationFrame, "vboxLayout");
    mpDestinationLabel = new QLabel(mpDestinationFrame);
    mpDestinationLabel->setObjectName("mpDestinationLabel");
    mpDestinationLabel->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setRowHeight(mpDestinationLabel);
    vboxLayout->addWidget(mpDestinationLabel);

    hboxLayout = makeRow("hboxLayout");
    mpDestinationNameLabel = makeRowLabel(mpDestinationFrame, "mpDestinationNameLabel", false);
    hboxLayout->addWidget(mpDestinationNameLabel);
    mpCertificateNameToolButton = makeFileButton(mpDestinationFrame, "mpCertificateNameToolButton");
    hboxLayout->addWidget(mpCertificateNameToolButton);
    mpDestinationNameLineEdit = makeLineEdit(mpDestinationFrame, "mpDestinationNameLineEdit");
    hboxLayout->addWidget(mpDestinationNameLineEdit);
    vboxLayout->addLayout(hboxLayout);

    hboxLayout1 = makeRow("hboxLayout1");
    mpDestinationPasswordLabel = makeRowLabel(mpDestinationFrame, "mpDestinationPasswordLabel", false);
    hboxLayout1->addWidget(mpDestinationPasswordLabel);
    mpDestinationPasswordLineEdit = makeLineEdit(mpDestinationFrame, "mpDestinationPasswordLineEdit");
    mpDestinationPasswordLineEdit->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    mpDestinationPasswordLineEdit->setEchoMode(QLineEdit::Password);
    hboxLayout1->addWidget(mpDestinationPasswordLineEdit);
    vboxLayout->addLayout(hboxLayout1);

    hboxLayout2 = makeRow("hboxLayout2");
    mpDestinationPasswordRepLabel = makeRowLabel(mpDestinationFrame, "mpDestinationPasswordRepLabel", false);
    hboxLayout2->addWidget(mpDestinationPasswordRepLabel);
    mpDestinationPasswordRepLineEdit = makeLineEdit(mpDestinationFrame, "mpDestinationPasswordRepLineEdit");
    mpDestinationPasswordRepLineEdit->setEchoMode(QLineEdit::Password);
    hboxLayout2->addWidget(mpDestinationPasswordRepLineEdit);
    vboxLayout->addLayout(hboxLayout2);

    // Subject names, serial number and signing algorithm.
    mpSubjectFrame = makeFrame(form, "mpSubjectFrame");
    vboxLayout1 = makeFrameLayout<QVBoxLayout>(mpSubjectFrame, "vboxLayout1");
    mpSubjectLabel = new QLabel(mpSubjectFrame);
    mpSubjectLabel->setObjectName("mpSubjectLabel");
    vboxLayout1->addWidget(mpSubjectLabel);

    hboxLayout3 = makeRow("hboxLayout3");
    mpRootNameLabel = makeRowLabel(mpSubjectFrame, "mpRootNameLabel", true);
    hboxLayout3->addWidget(mpRootNameLabel);
    mpRootNameLineEdit = makeLineEdit(mpSubjectFrame, "mpRootNameLineEdit");
    hboxLayout3->addWidget(mpRootNameLineEdit);
    vboxLayout1->addLayout(hboxLayout3);

    hboxLayout4 = makeRow("hboxLayout4");
    mpOrganizationLabel = makeRowLabel(mpSubjectFrame, "mpOrganizationLabel", true);
    hboxLayout4->addWidget(mpOrganizationLabel);
    mpOrganizationLineEdit = makeLineEdit(mpSubjectFrame, "mpOrganizationLineEdit");
    hboxLayout4->addWidget(mpOrganizationLineEdit);
    vboxLayout1->addLayout(hboxLayout4);

    hboxLayout5 = makeRow("hboxLayout5");
    mpEntityLabel = makeRowLabel(mpSubjectFrame, "mpEntityLabel", false);
    hboxLayout5->addWidget(mpEntityLabel);
    mpEntityLineEdit = makeLineEdit(mpSubjectFrame, "mpEntityLineEdit");
    hboxLayout5->addWidget(mpEntityLineEdit);
    vboxLayout1->addLayout(hboxLayout5);

    hboxLayout6 = makeRow("hboxLayout6");
    mpSerialLabel = makeRowLabel(mpSubjectFrame, "mpSerialLabel", true);
    hboxLayout6->addWidget(mpSerialLabel);
    mpSerialLineEdit = makeLineEdit(mpSubjectFrame, "mpSerialLineEdit");
    hboxLayout6->addWidget(mpSerialLineEdit);
    vboxLayout1->addLayout(hboxLayout6);

    hboxLayout7 = makeRow("hboxLayout7");
    mpAlgorithmLabel = makeRowLabel(mpSubjectFrame, "mpAlgorithmLabel", false);
    hboxLayout7->addWidget(mpAlgorithmLabel);
    mpAlgorithmComboBox = makeComboBox(mpSubjectFrame, "mpAlgorithmComboBox");
    hboxLayout7->addWidget(mpAlgorithmComboBox);
    vboxLayout1->addLayout(hboxLayout7);

    // Validity period.
    mpValidityFrame = makeFrame(form, "mpValidityFrame");
    gridLayout1 = makeFrameLayout<QGridLayout>(mpValidityFrame, "gridLayout1");
    mpValidityLabel = new QLabel(mpValidityFrame);
    mpValidityLabel->setObjectName("mpValidityLabel");
    setRowHeight(mpValidityLabel);
    gridLayout1->addWidget(mpValidityLabel, 0, 0);

    hboxLayout8 = makeRow("hboxLayout8");
    mpStartValidityLabel = makeFixedLabel(mpValidityFrame, "mpStartValidityLabel");
    hboxLayout8->addWidget(mpStartValidityLabel);
    mpStartValidityDateTimeEdit = makeDateTimeEdit(mpValidityFrame, "mpStartValidityDateTimeEdit");
    hboxLayout8->addWidget(mpStartValidityDateTimeEdit);
    gridLayout1->addLayout(hboxLayout8, 1, 0);

    hboxLayout9 = makeRow("hboxLayout9");
    mpEndValidityLabel = makeFixedLabel(mpValidityFrame, "mpEndValidityLabel");
    hboxLayout9->addWidget(mpEndValidityLabel);
    mpEndValidityDateTimeEdit = makeDateTimeEdit(mpValidityFrame, "mpEndValidityDateTimeEdit");
    hboxLayout9->addWidget(mpEndValidityDateTimeEdit);
    gridLayout1->addLayout(hboxLayout9, 2, 0);

    // Certificate type.
    mpTypeFrame = makeFrame(form, "mpTypeFrame");
    gridLayout2 = makeFrameLayout<QGridLayout>(mpTypeFrame, "gridLayout2");
    hboxLayout10 = makeRow("hboxLayout10");
    mpCertificateTypeLabel = new QLabel(mpTypeFrame);
    mpCertificateTypeLabel->setObjectName("mpCertificateTypeLabel");
    mpCertificateTypeLabel->setMinimumSize(kLabelWidth, kRowHeight);
    mpCertificateTypeLabel->setMaximumSize(90, kRowHeight);
    hboxLayout10->addWidget(mpCertificateTypeLabel);
    mpCertificateTypeComboBox = makeComboBox(mpTypeFrame, "mpCertificateTypeComboBox");
    hboxLayout10->addWidget(mpCertificateTypeComboBox);
    gridLayout2->addLayout(hboxLayout10, 0, 0);

    // Create, pushed to the right edge by the spacer.
    mpButtonFrame = makeFrame(form, "mpButtonFrame");
    gridLayout3 = makeFrameLayout<QGridLayout>(mpButtonFrame, "gridLayout3");
    mpButtonSpacer = new QSpacerItem(281, 16, QSizePolicy::Expanding, QSizePolicy::Minimum);
    gridLayout3->addItem(mpButtonSpacer, 0, 0);
    mpCreateButton = new QPushButton(mpButtonFrame);
    mpCreateButton->setObjectName("mpCreateButton");
    mpCreateButton->setMinimumSize(93, kRowHeight);
    mpCreateButton->setMaximumSize(93, kRowHeight);
    gridLayout3->addWidget(mpCreateButton, 0, 1);

    // The issuing certificate (for intermediates and leaves) and the path length.
    mpCaFrame = makeFrame(form, "mpCaFrame");
    vboxLayout2 = makeFrameLayout<QVBoxLayout>(mpCaFrame, "vboxLayout2");
    mpCACertificateLabel = new QLabel(mpCaFrame);
    mpCACertificateLabel->setObjectName("mpCACertificateLabel");
    setRowHeight(mpCACertificateLabel);
    vboxLayout2->addWidget(mpCACertificateLabel);

    hboxLayout11 = makeRow("hboxLayout11");
    mpRootLabel = makeRowLabel(mpCaFrame, "mpRootLabel", true);
    hboxLayout11->addWidget(mpRootLabel);
    mpRootCertificateToolButton = makeFileButton(mpCaFrame, "mpRootCertificateToolButton");
    hboxLayout11->addWidget(mpRootCertificateToolButton);
    mpRootLineEdit = makeLineEdit(mpCaFrame, "mpRootLineEdit");
    hboxLayout11->addWidget(mpRootLineEdit);
    vboxLayout2->addLayout(hboxLayout11);

    hboxLayout12 = makeRow("hboxLayout12");
    mpRootPasswordLabel = makeRowLabel(mpCaFrame, "mpRootPasswordLabel", true);
    hboxLayout12->addWidget(mpRootPasswordLabel);
    mpRootPasswordLineEdit = makeLineEdit(mpCaFrame, "mpRootPasswordLineEdit");
    mpRootPasswordLineEdit->setEchoMode(QLineEdit::Password);
    hboxLayout12->addWidget(mpRootPasswordLineEdit);
    vboxLayout2->addLayout(hboxLayout12);

    hboxLayout13 = makeRow("hboxLayout13");
    mpPathLengthLabel = makeRowLabel(mpCaFrame, "mpPathLengthLabel", true);
    hboxLayout13->addWidget(mpPathLengthLabel);
    mpPathLengthLineEdit = makeLineEdit(mpCaFrame, "mpPathLengthLineEdit");
    hboxLayout13->addWidget(mpPathLengthLineEdit);
    vboxLayout2->addLayout(hboxLayout13);

    // One column: a gap above every frame and one below the buttons.
    mpTopSpacer = makeGap();
    gridLayout->addItem(mpTopSpacer, 0, 0);
    gridLayout->addWidget(mpTypeFrame, 1, 0);
    mpBelowTypeSpacer = makeGap();
    gridLayout->addItem(mpBelowTypeSpacer, 2, 0);
    gridLayout->addWidget(mpDestinationFrame, 3, 0);
    mpBelowDestinationSpacer = makeGap();
    gridLayout->addItem(mpBelowDestinationSpacer, 4, 0);
    gridLayout->addWidget(mpCaFrame, 5, 0);
    mpBelowCaSpacer = makeGap();
    gridLayout->addItem(mpBelowCaSpacer, 6, 0);
    gridLayout->addWidget(mpSubjectFrame, 7, 0);
    mpBelowSubjectSpacer = makeGap();
    gridLayout->addItem(mpBelowSubjectSpacer, 8, 0);
    gridLayout->addWidget(mpValidityFrame, 9, 0);
    mpAboveButtonsSpacer = makeGap(QSizePolicy::Expanding);
    gridLayout->addItem(mpAboveButtonsSpacer, 10, 0);
    gridLayout->addWidget(mpButtonFrame, 11, 0);
    mpBottomSpacer = makeGap();
    gridLayout->addItem(mpBottomSpacer, 12, 0);

    // Top to bottom, with the issuing certificate before the subject it supplies names for.
    QWidget::setTabOrder(mpCertificateTypeComboBox, mpCertificateNameToolButton);
    QWidget::setTabOrder(mpCertificateNameToolButton, mpDestinationNameLineEdit);
    QWidget::setTabOrder(mpDestinationNameLineEdit, mpDestinationPasswordLineEdit);
    QWidget::setTabOrder(mpDestinationPasswordLineEdit, mpDestinationPasswordRepLineEdit);
    QWidget::setTabOrder(mpDestinationPasswordRepLineEdit, mpRootCertificateToolButton);
    QWidget::setTabOrder(mpRootCertificateToolButton, mpRootLineEdit);
    QWidget::setTabOrder(mpRootLineEdit, mpRootPasswordLineEdit);
    QWidget::setTabOrder(mpRootPasswordLineEdit, mpPathLengthLineEdit);
    QWidget::setTabOrder(mpPathLengthLineEdit, mpRootNameLineEdit);
    QWidget::setTabOrder(mpRootNameLineEdit, mpOrganizationLineEdit);
    QWidget::setTabOrder(mpOrganizationLineEdit, mpEntityLineEdit);
    QWidget::setTabOrder(mpEntityLineEdit, mpSerialLineEdit);
    QWidget::setTabOrder(mpSerialLineEdit, mpAlgorithmComboBox);
    QWidget::setTabOrder(mpAlgorithmComboBox, mpStartValidityDateTimeEdit);
    QWidget::setTabOrder(mpStartValidityDateTimeEdit, mpEndValidityDateTimeEdit);
    QWidget::setTabOrder(mpEndValidityDateTimeEdit, mpCreateButton);

    retranslateUi(form);

    // The form wires its slots itself; none is named for automatic connection.
    QMetaObject::connectSlotsByName(form);
}

void Ui_TalvaneWidget::retranslateUi(QWidget* form)
{
    const auto tr = [](const char* text) { return QCoreApplication::translate("TalvaneWidget", text); };

    form->setWindowTitle(tr("Talvane V1.2"));
    mpDestinationLabel->setText(tr("Destination Certificate"));
    mpDestinationNameLabel->setText(tr("Certificate File Name"));
    mpCertificateNameToolButton->setText(tr("..."));
    mpDestinationPasswordLabel->setText(tr("Password"));
    mpDestinationPasswordRepLabel->setText(tr("Repeat Password"));
    mpSubjectLabel->setText(tr("Subject"));
    mpRootNameLabel->setText(tr("Root Name"));
    mpOrganizationLabel->setText(tr("Organisation Name"));
    mpEntityLabel->setText(tr("Entity Name"));
    mpSerialLabel->setText(tr("Serial Number"));
    mpAlgorithmLabel->setText(tr("Signing Algorithm"));
    mpValidityLabel->setText(tr("Validity"));
    mpStartValidityLabel->setText(tr("Start"));
    mpEndValidityLabel->setText(tr("End"));
    mpCertificateTypeLabel->setText(tr("Certificate Type"));
    mpCreateButton->setText(tr("Create"));
    mpCACertificateLabel->setText(tr("Certificate from Certificate Authority"));
    mpRootLabel->setText(tr("Issuing Certificate Name"));
    mpRootCertificateToolButton->setText(tr("..."));
    mpRootPasswordLabel->setText(tr("Password"));
    mpPathLengthLabel->setText(tr("Path Length"));
}
