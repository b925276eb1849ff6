// The main form as constructed: its widget tree, texts, sizes, layouts, keyboard order and
// meta-object.

#include "certificatesettings.h"
#include "talvanewidget.h"

#include <QtTest>
#include <QtWidgets>

// Set in the environment of a child run of this executable: construct the form without a
// settings record instead of running the tests.
static const char kNullSettingsVariable[] = "TALVANE_FORM_NULL_SETTINGS";

class TestFormLayout : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void widgets_data();
    void widgets();
    void sizes_data();
    void sizes();
    void formIsFixedAt400x450_data();
    void formIsFixedAt400x450();
    void formWindow();
    void frames();
    void topGridRows();
    void frameLayouts_data();
    void frameLayouts();
    void rowLayouts_data();
    void rowLayouts();
    void gridCells();
    void setupUiKeepsAGivenObjectName();
    void focusChainOrder();
    void tabSkipsDisabledWidgets_data();
    void tabSkipsDisabledWidgets();
    void initConnectsBySignature_data();
    void initConnectsBySignature();
    void metaObjectMethodTable();
    void castsToBothBases();
    void nullSettingsIsFatal();

private:
    CertificateSettings* mpSettings = nullptr;
    TalvaneWidget* mpForm = nullptr;
};

namespace
{

const QStringList kTabOrder = {
    "mpCertificateTypeComboBox",
    "mpCertificateNameToolButton",
    "mpDestinationNameLineEdit",
    "mpDestinationPasswordLineEdit",
    "mpDestinationPasswordRepLineEdit",
    "mpRootCertificateToolButton",
    "mpRootLineEdit",
    "mpRootPasswordLineEdit",
    "mpPathLengthLineEdit",
    "mpRootNameLineEdit",
    "mpOrganizationLineEdit",
    "mpEntityLineEdit",
    "mpSerialLineEdit",
    "mpAlgorithmComboBox",
    "mpStartValidityDateTimeEdit",
    "mpEndValidityDateTimeEdit",
    "mpCreateButton",
};

constexpr int kMax = QWIDGETSIZE_MAX;

// The named widget of the tab order that holds `widget` (the inner line edit of a date-time
// edit stands for the edit), or null.
QWidget* tabStop(QWidget* widget)
{
    for (; widget != nullptr; widget = widget->parentWidget())
        if (kTabOrder.contains(widget->objectName()))
            return widget;
    return nullptr;
}

} // namespace

void TestFormLayout::init()
{
    mpSettings = new CertificateSettings;
    mpForm = new TalvaneWidget(nullptr, mpSettings);
}

void TestFormLayout::cleanup()
{
    delete mpForm;
    mpForm = nullptr;
    delete mpSettings;
    mpSettings = nullptr;
}

void TestFormLayout::widgets_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("toolTip");

    const auto row = [](const char* name, const char* cls, const char* frame, const char* text,
                        const char* tip = "") { QTest::newRow(name) << name << cls << frame << text << tip; };
    row("mpDestinationLabel", "QLabel", "mpDestinationFrame", "Destination Certificate");
    row("mpDestinationNameLabel", "QLabel", "mpDestinationFrame", "Certificate File Name");
    row("mpCertificateNameToolButton", "QPushButton", "mpDestinationFrame", "...",
        "choose destination certificate file path");
    row("mpDestinationNameLineEdit", "QLineEdit", "mpDestinationFrame", "",
        "destination certificate file (.pem)");
    row("mpDestinationPasswordLabel", "QLabel", "mpDestinationFrame", "Password");
    row("mpDestinationPasswordLineEdit", "QLineEdit", "mpDestinationFrame", "", "destination password");
    row("mpDestinationPasswordRepLabel", "QLabel", "mpDestinationFrame", "Repeat Password");
    row("mpDestinationPasswordRepLineEdit", "QLineEdit", "mpDestinationFrame", "",
        "destination password repeat");
    row("mpSubjectLabel", "QLabel", "mpSubjectFrame", "Subject");
    row("mpRootNameLabel", "QLabel", "mpSubjectFrame", "Root Name");
    row("mpRootNameLineEdit", "QLineEdit", "mpSubjectFrame", ".CertificateUsage.CompanyName",
        "root name of destination certificate");
    row("mpOrganizationLabel", "QLabel", "mpSubjectFrame", "Organisation Name");
    row("mpOrganizationLineEdit", "QLineEdit", "mpSubjectFrame", ".DepartmentName.CompanyName",
        "organisation name of destination certificate");
    row("mpEntityLabel", "QLabel", "mpSubjectFrame", "Entity Name");
    row("mpEntityLineEdit", "QLineEdit", "mpSubjectFrame", ".CertificateHolder",
        "entity name of destination certificate");
    row("mpSerialLabel", "QLabel", "mpSubjectFrame", "Serial Number");
    row("mpSerialLineEdit", "QLineEdit", "mpSubjectFrame", "0", "serial number of destination certificate");
    row("mpAlgorithmLabel", "QLabel", "mpSubjectFrame", "Signing Algorithm");
    row("mpAlgorithmComboBox", "QComboBox", "mpSubjectFrame", "SHA256",
        "signing algorithm of destination certificate");
    row("mpValidityLabel", "QLabel", "mpValidityFrame", "Validity");
    row("mpStartValidityLabel", "QLabel", "mpValidityFrame", "Start");
    row("mpStartValidityDateTimeEdit", "QDateTimeEdit", "mpValidityFrame", "",
        "validity start date/time of destination certificate");
    row("mpEndValidityLabel", "QLabel", "mpValidityFrame", "End");
    row("mpEndValidityDateTimeEdit", "QDateTimeEdit", "mpValidityFrame", "",
        "validity end date/time of destination certificate");
    row("mpCertificateTypeLabel", "QLabel", "mpTypeFrame", "Certificate Type");
    row("mpCertificateTypeComboBox", "QComboBox", "mpTypeFrame", "Self Signed Root Certificate",
        "choose certificate type to create");
    row("mpCreateButton", "QPushButton", "mpButtonFrame", "Create", "create destination certificates");
    row("mpCACertificateLabel", "QLabel", "mpCaFrame", "Certificate from Certificate Authority");
    row("mpRootLabel", "QLabel", "mpCaFrame", "Issuing Certificate Name");
    row("mpRootCertificateToolButton", "QPushButton", "mpCaFrame", "...",
        "choose issuing certificate file path");
    row("mpRootLineEdit", "QLineEdit", "mpCaFrame", "", "root or intermediate certificate (.pfx)");
    row("mpRootPasswordLabel", "QLabel", "mpCaFrame", "Password");
    row("mpRootPasswordLineEdit", "QLineEdit", "mpCaFrame", "", "issuing certificate password");
    row("mpPathLengthLabel", "QLabel", "mpCaFrame", "Path Length");
    row("mpPathLengthLineEdit", "QLineEdit", "mpCaFrame", "3", "path length of destination certificate");
}

void TestFormLayout::widgets()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QString, frame);
    QFETCH(QString, text);
    QFETCH(QString, toolTip);

    const QList<QWidget*> found = mpForm->findChildren<QWidget*>(name);
    QCOMPARE(found.size(), 1);
    QWidget* widget = found.first();
    QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), className);
    QCOMPARE(widget->parentWidget()->objectName(), frame);
    QCOMPARE(widget->toolTip(), toolTip);

    if (auto* label = qobject_cast<QLabel*>(widget))
        QCOMPARE(label->text(), text);
    else if (auto* button = qobject_cast<QPushButton*>(widget))
        QCOMPARE(button->text(), text);
    else if (auto* edit = qobject_cast<QLineEdit*>(widget))
        QCOMPARE(edit->text(), text);
    else if (auto* combo = qobject_cast<QComboBox*>(widget))
        QCOMPARE(combo->currentText(), text);
}

void TestFormLayout::sizes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("minimum");
    QTest::addColumn<QSize>("maximum");

    const auto row = [](const char* name, QSize minimum, QSize maximum)
    { QTest::newRow(name) << name << minimum << maximum; };
    const QSize rowHeight(0, 15), unlimitedRow(kMax, 15), unlimited(kMax, kMax);
    row("mpDestinationLabel", rowHeight, unlimitedRow);
    row("mpDestinationNameLabel", QSize(135, 0), unlimited);
    row("mpCertificateNameToolButton", QSize(18, 15), QSize(18, 15));
    row("mpDestinationNameLineEdit", rowHeight, unlimitedRow);
    row("mpDestinationPasswordLabel", QSize(135, 0), unlimited);
    row("mpDestinationPasswordLineEdit", rowHeight, unlimitedRow);
    row("mpDestinationPasswordRepLabel", QSize(135, 0), unlimited);
    row("mpDestinationPasswordRepLineEdit", rowHeight, unlimitedRow);
    row("mpSubjectLabel", QSize(0, 0), unlimited);
    row("mpRootNameLabel", QSize(135, 15), unlimitedRow);
    row("mpRootNameLineEdit", rowHeight, unlimitedRow);
    row("mpOrganizationLabel", QSize(135, 15), unlimitedRow);
    row("mpOrganizationLineEdit", rowHeight, unlimitedRow);
    row("mpEntityLabel", QSize(135, 0), unlimited);
    row("mpEntityLineEdit", rowHeight, unlimitedRow);
    row("mpSerialLabel", QSize(135, 15), unlimitedRow);
    row("mpSerialLineEdit", rowHeight, unlimitedRow);
    row("mpAlgorithmLabel", QSize(135, 0), unlimited);
    row("mpAlgorithmComboBox", rowHeight, unlimitedRow);
    row("mpValidityLabel", rowHeight, unlimitedRow);
    row("mpStartValidityLabel", QSize(135, 15), QSize(135, 15));
    row("mpStartValidityDateTimeEdit", rowHeight, unlimitedRow);
    row("mpEndValidityLabel", QSize(135, 15), QSize(135, 15));
    row("mpEndValidityDateTimeEdit", rowHeight, unlimitedRow);
    // A minimum wider than the maximum, kept as it always was: the label still gets 135.
    row("mpCertificateTypeLabel", QSize(135, 15), QSize(90, 15));
    row("mpCertificateTypeComboBox", rowHeight, unlimitedRow);
    row("mpCreateButton", QSize(93, 15), QSize(93, 15));
    row("mpCACertificateLabel", rowHeight, unlimitedRow);
    row("mpRootLabel", QSize(135, 15), unlimitedRow);
    row("mpRootCertificateToolButton", QSize(18, 15), QSize(18, 15));
    row("mpRootLineEdit", rowHeight, unlimitedRow);
    row("mpRootPasswordLabel", QSize(135, 15), unlimitedRow);
    row("mpRootPasswordLineEdit", rowHeight, unlimitedRow);
    row("mpPathLengthLabel", QSize(135, 15), unlimitedRow);
    row("mpPathLengthLineEdit", rowHeight, unlimitedRow);
}

void TestFormLayout::sizes()
{
    QFETCH(QString, name);
    QFETCH(QSize, minimum);
    QFETCH(QSize, maximum);

    QWidget* widget = mpForm->findChild<QWidget*>(name);
    QVERIFY(widget != nullptr);
    QCOMPARE(widget->minimumSize(), minimum);
    QCOMPARE(widget->maximumSize(), maximum);

    // Row labels form a column: fixed horizontally, so they never take the inputs' width.
    if (qobject_cast<QLabel*>(widget) && minimum.width() == 135 && maximum.width() == kMax)
        QCOMPARE(widget->sizePolicy(), QSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred));

    // Laid out, every widget pinned to the row height is exactly that high.
    mpForm->show();
    QVERIFY(QTest::qWaitForWindowExposed(mpForm));
    if (maximum.height() == 15)
        QCOMPARE(widget->height(), 15);
    if (minimum.width() == 135)
        QVERIFY(widget->width() >= 135);
}

void TestFormLayout::formIsFixedAt400x450_data()
{
    QTest::addColumn<QString>("style");
    QTest::newRow("default style") << QString();
    QTest::newRow("fusion style asks for other sizes") << QStringLiteral("Fusion");
}

void TestFormLayout::formIsFixedAt400x450()
{
    QFETCH(QString, style);

    const QString previous = QApplication::style()->name();
    if (!style.isEmpty())
        QApplication::setStyle(style);
    CertificateSettings settings;
    TalvaneWidget form(nullptr, &settings);
    if (!style.isEmpty())
        QApplication::setStyle(previous);

    QCOMPARE(form.size(), QSize(400, 450));
    QCOMPARE(form.minimumSize(), QSize(400, 450));
    QCOMPARE(form.maximumSize(), QSize(400, 450));
    QCOMPARE(form.sizePolicy(), QSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred));

    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.resize(800, 900);
    QCOMPARE(form.size(), QSize(400, 450));
    form.resize(100, 100);
    QCOMPARE(form.size(), QSize(400, 450));
    form.adjustSize();
    QCOMPARE(form.size(), QSize(400, 450));
}

void TestFormLayout::formWindow()
{
    QCOMPARE(mpForm->objectName(), QStringLiteral("TalvaneWidget"));
    QCOMPARE(mpForm->windowTitle(), QStringLiteral("Talvane V1.2"));
    QVERIFY(mpForm->isWindow());
    QCOMPARE(mpForm->parentWidget(), nullptr);
    QCOMPARE(mpForm->backgroundRole(), QPalette::Base);
    QCOMPARE(mpForm->styleSheet(), QString());
    // The look is the style's alone: nothing on the form sets a font or a palette of its own.
    const QList<QWidget*> all = mpForm->findChildren<QWidget*>();
    for (QWidget* widget : all)
    {
        QVERIFY2(widget->styleSheet().isEmpty(), qPrintable(widget->objectName()));
        QVERIFY2(!widget->testAttribute(Qt::WA_SetFont), qPrintable(widget->objectName()));
        QVERIFY2(!widget->testAttribute(Qt::WA_SetPalette), qPrintable(widget->objectName()));
    }
}

void TestFormLayout::frames()
{
    const QStringList names = {"mpTypeFrame",    "mpDestinationFrame", "mpCaFrame",
                               "mpSubjectFrame", "mpValidityFrame",    "mpButtonFrame"};
    for (const QString& name : names)
    {
        auto* frame = mpForm->findChild<QFrame*>(name);
        QVERIFY2(frame != nullptr, qPrintable(name));
        QCOMPARE(QString::fromLatin1(frame->metaObject()->className()), QStringLiteral("QFrame"));
        QCOMPARE(frame->parentWidget(), mpForm);
        QVERIFY(frame->autoFillBackground());
        QCOMPARE(frame->frameShape(), QFrame::NoFrame);
        QCOMPARE(frame->frameShadow(), QFrame::Raised);
        QCOMPARE(frame->contentsMargins(), QMargins(5, 0, 5, 0));
    }
}

void TestFormLayout::topGridRows()
{
    QGridLayout* grid = mpForm->gridLayout;
    QCOMPARE(mpForm->layout(), grid);
    QCOMPARE(grid->objectName(), QStringLiteral("gridLayout"));
    QCOMPARE(grid->spacing(), 3);
    QCOMPARE(grid->contentsMargins(), QMargins(0, 0, 0, 0));
    QCOMPARE(grid->rowCount(), 13);
    QCOMPARE(grid->columnCount(), 1);

    const QStringList frames = {"mpTypeFrame",    "mpDestinationFrame", "mpCaFrame",
                                "mpSubjectFrame", "mpValidityFrame",    "mpButtonFrame"};
    for (int row = 0; row < 13; ++row)
    {
        QLayoutItem* item = grid->itemAtPosition(row, 0);
        QVERIFY(item != nullptr);
        if (row % 2 == 1)
        {
            QVERIFY(item->widget() != nullptr);
            QCOMPARE(item->widget()->objectName(), frames.at(row / 2));
            continue;
        }
        QSpacerItem* spacer = item->spacerItem();
        QVERIFY2(spacer != nullptr, qPrintable(QString::number(row)));
        QCOMPARE(spacer->sizeHint(), QSize(400, 15));
        const QSizePolicy::Policy vertical = row == 10 ? QSizePolicy::Expanding : QSizePolicy::Fixed;
        QCOMPARE(spacer->sizePolicy(), QSizePolicy(QSizePolicy::Minimum, vertical));
    }
}

void TestFormLayout::frameLayouts_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QString>("className");

    const auto row = [](const char* edge, const char* frame, const char* layout, const char* cls)
    { QTest::newRow(edge) << frame << layout << cls; };
    row("destination", "mpDestinationFrame", "vboxLayout", "QVBoxLayout");
    row("subject", "mpSubjectFrame", "vboxLayout1", "QVBoxLayout");
    row("issuer", "mpCaFrame", "vboxLayout2", "QVBoxLayout");
    row("validity", "mpValidityFrame", "gridLayout1", "QGridLayout");
    row("type", "mpTypeFrame", "gridLayout2", "QGridLayout");
    row("buttons", "mpButtonFrame", "gridLayout3", "QGridLayout");
}

void TestFormLayout::frameLayouts()
{
    QFETCH(QString, frame);
    QFETCH(QString, layout);
    QFETCH(QString, className);

    QLayout* frameLayout = mpForm->findChild<QFrame*>(frame)->layout();
    QVERIFY(frameLayout != nullptr);
    QCOMPARE(frameLayout->objectName(), layout);
    QCOMPARE(QString::fromLatin1(frameLayout->metaObject()->className()), className);
    QCOMPARE(frameLayout->spacing(), 3);
    QCOMPARE(frameLayout->contentsMargins(), QMargins(0, 0, 0, 0));
}

void TestFormLayout::rowLayouts_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QString>("parentLayout");
    QTest::addColumn<QStringList>("widgets");

    const auto row = [](const char* layout, const char* parent, QStringList widgets)
    { QTest::newRow(layout) << layout << parent << widgets; };
    row("hboxLayout", "vboxLayout",
        {"mpDestinationNameLabel", "mpCertificateNameToolButton", "mpDestinationNameLineEdit"});
    row("hboxLayout1", "vboxLayout", {"mpDestinationPasswordLabel", "mpDestinationPasswordLineEdit"});
    row("hboxLayout2", "vboxLayout", {"mpDestinationPasswordRepLabel", "mpDestinationPasswordRepLineEdit"});
    row("hboxLayout3", "vboxLayout1", {"mpRootNameLabel", "mpRootNameLineEdit"});
    row("hboxLayout4", "vboxLayout1", {"mpOrganizationLabel", "mpOrganizationLineEdit"});
    row("hboxLayout5", "vboxLayout1", {"mpEntityLabel", "mpEntityLineEdit"});
    row("hboxLayout6", "vboxLayout1", {"mpSerialLabel", "mpSerialLineEdit"});
    row("hboxLayout7", "vboxLayout1", {"mpAlgorithmLabel", "mpAlgorithmComboBox"});
    row("hboxLayout8", "gridLayout1", {"mpStartValidityLabel", "mpStartValidityDateTimeEdit"});
    row("hboxLayout9", "gridLayout1", {"mpEndValidityLabel", "mpEndValidityDateTimeEdit"});
    row("hboxLayout10", "gridLayout2", {"mpCertificateTypeLabel", "mpCertificateTypeComboBox"});
    row("hboxLayout11", "vboxLayout2", {"mpRootLabel", "mpRootCertificateToolButton", "mpRootLineEdit"});
    row("hboxLayout12", "vboxLayout2", {"mpRootPasswordLabel", "mpRootPasswordLineEdit"});
    row("hboxLayout13", "vboxLayout2", {"mpPathLengthLabel", "mpPathLengthLineEdit"});
}

void TestFormLayout::rowLayouts()
{
    QFETCH(QString, layout);
    QFETCH(QString, parentLayout);
    QFETCH(QStringList, widgets);

    const QList<QHBoxLayout*> found = mpForm->findChildren<QHBoxLayout*>(layout);
    QCOMPARE(found.size(), 1);
    QHBoxLayout* row = found.first();
    QCOMPARE(row->parent()->objectName(), parentLayout);
    QCOMPARE(row->spacing(), 6);
    QCOMPARE(row->contentsMargins(), QMargins(0, 0, 0, 0));

    QStringList inRow;
    for (int i = 0; i < row->count(); ++i)
        inRow << row->itemAt(i)->widget()->objectName();
    QCOMPARE(inRow, widgets);
}

void TestFormLayout::gridCells()
{
    // A frame's title comes first, then its rows.
    QCOMPARE(mpForm->vboxLayout->itemAt(0)->widget(), mpForm->mpDestinationLabel);
    QCOMPARE(mpForm->vboxLayout1->itemAt(0)->widget(), mpForm->mpSubjectLabel);
    QCOMPARE(mpForm->vboxLayout2->itemAt(0)->widget(), mpForm->mpCACertificateLabel);

    QGridLayout* validity = mpForm->gridLayout1;
    QCOMPARE(validity->itemAtPosition(0, 0)->widget(), mpForm->mpValidityLabel);
    QCOMPARE(validity->itemAtPosition(1, 0)->layout(), mpForm->hboxLayout8);
    QCOMPARE(validity->itemAtPosition(2, 0)->layout(), mpForm->hboxLayout9);

    QCOMPARE(mpForm->gridLayout2->itemAtPosition(0, 0)->layout(), mpForm->hboxLayout10);

    // The spacer pushes Create to the right edge.
    QGridLayout* buttons = mpForm->gridLayout3;
    QSpacerItem* spacer = buttons->itemAtPosition(0, 0)->spacerItem();
    QVERIFY(spacer != nullptr);
    QCOMPARE(spacer->sizeHint(), QSize(281, 16));
    QCOMPARE(spacer->sizePolicy(), QSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum));
    QCOMPARE(buttons->itemAtPosition(0, 1)->widget(), mpForm->mpCreateButton);

    mpForm->show();
    QVERIFY(QTest::qWaitForWindowExposed(mpForm));
    const QRect create = mpForm->mpCreateButton->geometry();
    QCOMPARE(create.right(), mpForm->mpButtonFrame->contentsRect().right());
}

void TestFormLayout::setupUiKeepsAGivenObjectName()
{
    QWidget named;
    named.setObjectName("already named");
    Ui::TalvaneWidget ui;
    ui.setupUi(&named);
    QCOMPARE(named.objectName(), QStringLiteral("already named"));

    QWidget unnamed;
    Ui::TalvaneWidget other;
    other.setupUi(&unnamed);
    QCOMPARE(unnamed.objectName(), QStringLiteral("TalvaneWidget"));
    QCOMPARE(unnamed.size(), QSize(400, 450));
}

void TestFormLayout::focusChainOrder()
{
    // The order the chain visits the named stops, whatever helper widgets lie in between.
    QStringList visited;
    QWidget* start = mpForm->mpCertificateTypeComboBox;
    QWidget* widget = start;
    do
    {
        if (kTabOrder.contains(widget->objectName()) && !visited.contains(widget->objectName()))
            visited << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != start && widget != nullptr);
    QCOMPARE(visited, kTabOrder);

    // Only the stops take focus from the keyboard; labels and frames never do.
    for (QWidget* child : mpForm->findChildren<QWidget*>())
    {
        if ((child->focusPolicy() & Qt::TabFocus) == 0 || child->focusProxy() != nullptr)
            continue;
        QVERIFY2(tabStop(child) != nullptr, qPrintable(child->objectName()));
    }
    QCOMPARE(mpForm->mpCertificateNameToolButton->focusPolicy(), Qt::TabFocus);
    QCOMPARE(mpForm->mpRootCertificateToolButton->focusPolicy(), Qt::TabFocus);
}

void TestFormLayout::tabSkipsDisabledWidgets_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("skipped");

    QTest::newRow("root: no issuer") << 0
                                     << QStringList{"mpRootCertificateToolButton", "mpRootLineEdit",
                                                    "mpRootPasswordLineEdit"};
    QTest::newRow("intermediate: no root name") << 1 << QStringList{"mpRootNameLineEdit"};
    QTest::newRow("leaf: no path length or root name")
        << 2 << QStringList{"mpPathLengthLineEdit", "mpRootNameLineEdit"};
}

void TestFormLayout::tabSkipsDisabledWidgets()
{
    QFETCH(int, type);
    QFETCH(QStringList, skipped);

    mpForm->mpCertificateTypeComboBox->setCurrentIndex(type);
    mpForm->show();
    mpForm->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(mpForm));
    mpForm->mpCertificateTypeComboBox->setFocus(Qt::OtherFocusReason);
    QTRY_COMPARE(tabStop(QApplication::focusWidget()), mpForm->mpCertificateTypeComboBox);

    QStringList expected = kTabOrder;
    for (const QString& name : skipped)
        expected.removeOne(name);
    expected << kTabOrder.first(); // wraps around

    QStringList visited = {tabStop(QApplication::focusWidget())->objectName()};
    while (visited.size() < expected.size())
    {
        QWidget* before = tabStop(QApplication::focusWidget());
        // A date-time edit steps through its sections before Tab leaves it.
        for (int press = 0; press < 10 && tabStop(QApplication::focusWidget()) == before; ++press)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* after = tabStop(QApplication::focusWidget());
        QVERIFY2(after != nullptr && after != before, qPrintable(visited.join(", ")));
        visited << after->objectName();
    }
    QCOMPARE(visited, expected);
}

void TestFormLayout::initConnectsBySignature_data()
{
    QTest::addColumn<QString>("sender");
    QTest::addColumn<QByteArray>("signal");
    QTest::addColumn<QByteArray>("slot");

    QTest::newRow("type choice") << "mpCertificateTypeComboBox"
                                 << QByteArray(SIGNAL(currentIndexChanged(int)))
                                 << QByteArray(SLOT(certificateTypeChanged(int)));
    QTest::newRow("create") << "mpCreateButton" << QByteArray(SIGNAL(clicked())) << QByteArray(SLOT(save()));
    QTest::newRow("destination file dialog") << "mpCertificateNameToolButton" << QByteArray(SIGNAL(clicked()))
                                             << QByteArray(SLOT(certificateNameButtonClicked()));
    QTest::newRow("issuing file dialog") << "mpRootCertificateToolButton" << QByteArray(SIGNAL(clicked()))
                                         << QByteArray(SLOT(rootCertificateButtonClicked()));
    QTest::newRow("return in repeated password")
        << "mpDestinationPasswordRepLineEdit" << QByteArray(SIGNAL(returnPressed()))
        << QByteArray(SLOT(checkDestinationPassword()));
}

void TestFormLayout::initConnectsBySignature()
{
    QFETCH(QString, sender);
    QFETCH(QByteArray, signal);
    QFETCH(QByteArray, slot);

    QObject* source = mpForm->findChild<QObject*>(sender);
    QVERIFY(source != nullptr);
    // Disconnecting succeeds only for a connection that exists, and only once.
    QVERIFY(QObject::disconnect(source, signal.constData(), mpForm, slot.constData()));
    QVERIFY(!QObject::disconnect(source, signal.constData(), mpForm, slot.constData()));
}

void TestFormLayout::metaObjectMethodTable()
{
    struct Method
    {
        QMetaMethod::MethodType type;
        QMetaMethod::Access access;
        const char* returnType;
        const char* signature;
    };
    const Method expected[] = {
        {QMetaMethod::Signal, QMetaMethod::Public, "void", "CreateCertificatePressed(int)"},
        {QMetaMethod::Slot, QMetaMethod::Private, "void", "certificateTypeChanged(int)"},
        {QMetaMethod::Slot, QMetaMethod::Private, "void", "certificateNameButtonClicked()"},
        {QMetaMethod::Slot, QMetaMethod::Private, "void", "rootCertificateButtonClicked()"},
        {QMetaMethod::Slot, QMetaMethod::Private, "bool", "checkConsistency()"},
        {QMetaMethod::Slot, QMetaMethod::Private, "bool", "checkDestinationPassword(QString*)"},
        {QMetaMethod::Slot, QMetaMethod::Private, "bool", "checkDestinationPassword()"},
        {QMetaMethod::Slot, QMetaMethod::Private, "bool", "checkPathlen(QString*)"},
        {QMetaMethod::Slot, QMetaMethod::Private, "bool", "checkPathlen()"},
        {QMetaMethod::Slot, QMetaMethod::Private, "bool", "checkValidity(QString*)"},
        {QMetaMethod::Slot, QMetaMethod::Private, "bool", "checkValidity()"},
        {QMetaMethod::Slot, QMetaMethod::Private, "bool", "readIssuerRoot(QString*)"},
        {QMetaMethod::Slot, QMetaMethod::Private, "bool", "readIssuerRoot()"},
        {QMetaMethod::Slot, QMetaMethod::Private, "void", "save()"},
    };

    const QMetaObject& meta = TalvaneWidget::staticMetaObject;
    QCOMPARE(meta.className(), "TalvaneWidget");
    QCOMPARE(meta.superClass(), &QWidget::staticMetaObject);
    QCOMPARE(meta.methodCount() - meta.methodOffset(), int(std::size(expected)));
    for (int i = 0; i < int(std::size(expected)); ++i)
    {
        const QMetaMethod method = meta.method(meta.methodOffset() + i);
        QCOMPARE(method.methodSignature(), QByteArray(expected[i].signature));
        QCOMPARE(method.methodType(), expected[i].type);
        QCOMPARE(method.access(), expected[i].access);
        QCOMPARE(method.typeName(), expected[i].returnType);
    }
    QCOMPARE(meta.indexOfSignal("CreateCertificatePressed(int)"), meta.methodOffset());
    QCOMPARE(QByteArrayList(meta.method(meta.methodOffset()).parameterNames()),
             QByteArrayList{"certComboIndex"});
}

void TestFormLayout::castsToBothBases()
{
    QVERIFY(mpForm->inherits("TalvaneWidget"));
    QVERIFY(mpForm->inherits("QWidget"));
    QCOMPARE(qobject_cast<TalvaneWidget*>(static_cast<QObject*>(mpForm)), mpForm);
    QCOMPARE(mpForm->qt_metacast("TalvaneWidget"), static_cast<void*>(mpForm));
    // The layout base is no QObject, so inherits() cannot know it; the cast by name does.
    Ui::TalvaneWidget* ui = mpForm;
    QCOMPARE(mpForm->qt_metacast("Ui::TalvaneWidget"), static_cast<void*>(ui));
    QCOMPARE(mpForm->qt_metacast("Ui_TalvaneWidget"), nullptr);
}

void TestFormLayout::nullSettingsIsFatal()
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kNullSettingsVariable), QStringLiteral("1"));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForFinished(60000));

    QVERIFY(child.exitStatus() == QProcess::CrashExit || child.exitCode() != 0);
    const QByteArray errors = child.readAllStandardError();
    QVERIFY2(errors.contains("Initialization of TalvaneWidget failed!"), errors.constData());
    QVERIFY2(!child.readAllStandardOutput().contains("constructed"), "the form was constructed");
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(kNullSettingsVariable))
    {
        TalvaneWidget form(nullptr, nullptr);
        std::printf("constructed\n");
        return 0;
    }
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestFormLayout test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_formlayout.moc"
