// Where the form's rows land under the application's own style: every label fills one column and
// every input starts right of it, so the rows read as a table whatever a layout edit changes; and
// the edits and the button, rendered, line up with their frames where the style draws them.

#include "certificatesettings.h"
#include "quorrelstyle.h"
#include "talvanewidget.h"

#include <QtTest>
#include <QtWidgets>

#include <functional>

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

// The style's frame colours.
const QColor kFrame(68, 76, 91);
const QColor kFrameShadow(23, 23, 23);

// Pixels of one colour in a rendered widget: an inclusive rectangle.
struct Stroke
{
    QRect where;
    QColor colour;
};

QColor pieceColour(int piece)
{
    return QImage(QStringLiteral(":/data/style/pushbutton_normal_%1.png").arg(piece)).pixelColor(0, 0);
}

QRect corners(int left, int top, int right, int bottom)
{
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

} // namespace

class TestFormGeometry : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void rowsFormColumns_data();
    void rowsFormColumns();
    void editsAndButtonLineUp();

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

// In the manner of Qt's own line-up test: a line edit, a combo box, a date-time edit and the
// push button of one form are as high as the style's 15 and show their frames on the same rows.
void TestFormGeometry::editsAndButtonLineUp()
{
    const struct
    {
        const char* name;
        // The frame's strokes for a widget of width w and height h.
        std::function<QList<Stroke>(int w, int h)> strokes;
    } widgets[] = {
        // The sunken frame: an outline, and an inner top and left line in the shadow colour.
        {"mpDestinationNameLineEdit",
         [](int w, int h) -> QList<Stroke>
         {
             return {{corners(0, 0, w - 1, 0), kFrame},       {corners(0, h - 1, w - 1, h - 1), kFrame},
                     {corners(0, 0, 0, h - 1), kFrame},       {corners(w - 1, 0, w - 1, h - 1), kFrame},
                     {corners(1, 1, w - 2, 1), kFrameShadow}, {corners(1, 1, 1, h - 2), kFrameShadow}};
         }},
        // Framed over the whole rectangle, then the arrow button over (w - 11, 0) to (w - 1, 10)
        // and the edit field over (0, -1) to (w - 13, h - 2): the bottom line and the right
        // line below the button stay.
        {"mpCertificateTypeComboBox",
         [](int w, int h) -> QList<Stroke> {
             return {{corners(0, h - 1, w - 1, h - 1), kFrame}, {corners(w - 1, 11, w - 1, h - 1), kFrame}};
         }},
        // The sunken frame goes last around the spin box's frame rectangle; its inner top line
        // lies under the text field, the left one beside it.
        {"mpStartValidityDateTimeEdit",
         [](int w, int h) -> QList<Stroke>
         {
             return {{corners(0, 0, w - 1, 0), kFrame},
                     {corners(0, h - 1, w - 1, h - 1), kFrame},
                     {corners(0, 0, 0, h - 1), kFrame},
                     {corners(w - 1, 0, w - 1, h - 1), kFrame},
                     {corners(1, 1, 1, h - 2), kFrameShadow}};
         }},
        // The released look's top and bottom border pieces, one pixel high, between the corners.
        {"mpCreateButton",
         [](int w, int h) -> QList<Stroke> {
             return {{corners(1, 0, w - 2, 0), pieceColour(2)},
                     {corners(1, h - 1, w - 2, h - 1), pieceColour(6)}};
         }},
    };
    for (const auto& entry : widgets)
    {
        QWidget* widget = mpForm->findChild<QWidget*>(entry.name);
        QVERIFY2(widget != nullptr, entry.name);
        QCOMPARE(widget->sizeHint().height(), kRowHeight);
        QCOMPARE(widget->height(), kRowHeight);
        const QImage image = widget->grab().toImage().convertToFormat(QImage::Format_ARGB32);
        for (const Stroke& stroke : entry.strokes(widget->width(), widget->height()))
            for (int y = stroke.where.top(); y <= stroke.where.bottom(); ++y)
                for (int x = stroke.where.left(); x <= stroke.where.right(); ++x)
                    QVERIFY2(image.pixelColor(x, y) == stroke.colour,
                             qPrintable(QStringLiteral("%1 at (%2, %3)").arg(entry.name).arg(x).arg(y)));
    }
}

QTEST_MAIN(TestFormGeometry)
#include "tst_formgeometry.moc"
