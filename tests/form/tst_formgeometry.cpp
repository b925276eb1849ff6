// Where the form's rows land under the application's own style: every label fills one column and
// every input starts right of it, so the rows read as a table whatever a layout edit changes.

#include "certificatesettings.h"
#include "quorrelstyle.h"
#include "talvanewidget.h"

#include <QtTest>
#include <QtWidgets>

namespace
{

// The layout's documented numbers: frames indent their rows by 5 on both sides, labels are 135
// wide, a row puts 6 between its items, a file button is 18 wide and every row 15 high.
constexpr int kFormWidth = 400;
constexpr int kIndent = 5;
constexpr int kLabelColumn = 135;
constexpr int kRowSpacing = 6;
constexpr int kFileButtonWidth = 18;
constexpr int kRowHeight = 15;

constexpr int kInputLeft = kIndent + kLabelColumn + kRowSpacing;
constexpr int kInputRight = kFormWidth - kIndent - 1;

} // namespace

class TestFormGeometry : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void rowsFormColumns_data();
    void rowsFormColumns();

private:
    QRect onForm(const QString& name) const;

    CertificateSettings mSettings;
    TalvaneWidget* mpForm = nullptr;
};

void TestFormGeometry::initTestCase()
{
    QApplication::setStyle(new QuorrelStyle);
    mpForm = new TalvaneWidget(nullptr, &mSettings);
    mpForm->show();
    QVERIFY(QTest::qWaitForWindowExposed(mpForm));
}

void TestFormGeometry::cleanupTestCase()
{
    delete mpForm;
    mpForm = nullptr;
}

QRect TestFormGeometry::onForm(const QString& name) const
{
    const QWidget* widget = mpForm->findChild<QWidget*>(name);
    return widget == nullptr ? QRect() : QRect(widget->mapTo(mpForm, QPoint(0, 0)), widget->size());
}

void TestFormGeometry::rowsFormColumns_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("fileButton");
    QTest::addColumn<QString>("input");

    const auto row = [](const char* label, const char* input, const char* button = "")
    { QTest::newRow(input) << label << button << input; };
    row("mpCertificateTypeLabel", "mpCertificateTypeComboBox"); // a maximum below its minimum
    row("mpDestinationNameLabel", "mpDestinationNameLineEdit", "mpCertificateNameToolButton");
    row("mpDestinationPasswordLabel", "mpDestinationPasswordLineEdit");
    row("mpDestinationPasswordRepLabel", "mpDestinationPasswordRepLineEdit");
    row("mpRootLabel", "mpRootLineEdit", "mpRootCertificateToolButton"); // the longest label text
    row("mpRootPasswordLabel", "mpRootPasswordLineEdit");
    row("mpPathLengthLabel", "mpPathLengthLineEdit");
    row("mpRootNameLabel", "mpRootNameLineEdit");
    row("mpOrganizationLabel", "mpOrganizationLineEdit");
    row("mpEntityLabel", "mpEntityLineEdit");
    row("mpSerialLabel", "mpSerialLineEdit");
    row("mpAlgorithmLabel", "mpAlgorithmComboBox");
    row("mpStartValidityLabel", "mpStartValidityDateTimeEdit");
    row("mpEndValidityLabel", "mpEndValidityDateTimeEdit");
}

void TestFormGeometry::rowsFormColumns()
{
    QFETCH(QString, label);
    QFETCH(QString, fileButton);
    QFETCH(QString, input);

    const QRect labelRect = onForm(label);
    const QRect inputRect = onForm(input);
    QCOMPARE(labelRect, QRect(kIndent, inputRect.top(), kLabelColumn, kRowHeight));
    QCOMPARE(inputRect.height(), kRowHeight);
    QCOMPARE(inputRect.right(), kInputRight);

    if (fileButton.isEmpty())
    {
        QCOMPARE(inputRect.left(), kInputLeft);
        return;
    }
    QCOMPARE(onForm(fileButton), QRect(kInputLeft, inputRect.top(), kFileButtonWidth, kRowHeight));
    QCOMPARE(inputRect.left(), kInputLeft + kFileButtonWidth + kRowSpacing);
}

QTEST_MAIN(TestFormGeometry)
#include "tst_formgeometry.moc"
