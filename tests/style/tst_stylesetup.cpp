// Installing the style: palette, font, tinted images, widget polish and the resource tree.
#include "quorrelstyle.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCommandLinkButton>
#include <QDirIterator>
#include <QFile>
#include <QFileDialog>
#include <QFontComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QResource>
#include <QScrollBar>
#include <QSlider>
#include <QTabBar>
#include <QTest>
#include <QToolButton>

#include <cstdio>
#include <functional>
#include <memory>

using WidgetFactory = std::function<QWidget*()>;
Q_DECLARE_METATYPE(WidgetFactory)
Q_DECLARE_METATYPE(QPalette::ColorGroup)
Q_DECLARE_METATYPE(QPalette::ColorRole)

namespace
{

// Set in the environment of a child run that only reports the style font's pixel size.
constexpr char fontProbeVariable[] = "TALVANE_STYLE_FONT_PROBE";

bool resourcesExistedBeforeStyle = false;

} // namespace

class TstStyleSetup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void paletteAfterInstallation_data();
    void paletteAfterInstallation();
    void applicationPaletteSetLaterIsPolishedBack();
    void widgetPaletteIsLeftAlone();
    void polishReplacesAnyPalette();

    void fontIsSmallAndAliased();
    void fontUnderSystemLocale_data();
    void fontUnderSystemLocale();

    void tintKeepsAlphaAndMirrors_data();
    void tintKeepsAlphaAndMirrors();
    void tintOfMissingImageIsNull();
    void tintedIconHasThreeTints();
    void tintedIconOfMissingImageIsEmpty();

    void hoverOnlyOnListedClasses_data();
    void hoverOnlyOnListedClasses();
    void fileDialogHasNoContextHelpButton();

    void resourcesRegisteredBeforeStyleExists();
    void resourcePresentWithSize_data();
    void resourcePresentWithSize();
    void resourceTreeHoldsEveryFile();
    void onlyRawVideoFrameIsCompressed();

private:
    QuorrelStyle* mStyle = nullptr;
};

void TstStyleSetup::initTestCase()
{
    mStyle = new QuorrelStyle;
    QApplication::setStyle(mStyle);
}

void TstStyleSetup::paletteAfterInstallation_data()
{
    QTest::addColumn<QPalette::ColorGroup>("group");
    QTest::addColumn<QPalette::ColorRole>("role");
    QTest::addColumn<QColor>("expected");

    const struct
    {
        const char* name;
        QPalette::ColorRole role;
        QColor normal;
        QColor disabled;
    } table[] = {
        {"Window", QPalette::Window, {57, 57, 57}, {57, 57, 57}},
        {"WindowText", QPalette::WindowText, {175, 176, 177}, {169, 169, 169}},
        {"AlternateBase", QPalette::AlternateBase, {41, 41, 41}, {41, 41, 41}},
        {"Base", QPalette::Base, {41, 41, 41}, {41, 41, 41}},
        {"Text", QPalette::Text, {167, 175, 190}, {127, 133, 143}},
        {"Highlight", QPalette::Highlight, {71, 79, 95}, {71, 79, 95}},
        {"HighlightedText", QPalette::HighlightedText, {255, 255, 255}, {169, 169, 169}},
        {"Button", QPalette::Button, {41, 41, 41}, {41, 41, 41}},
        {"ButtonText", QPalette::ButtonText, {167, 175, 190}, {127, 133, 143}},
        {"BrightText", QPalette::BrightText, {0, 147, 221}, {169, 169, 169}},
    };
    for (const auto& row : table)
    {
        QTest::addRow("Active %s", row.name) << QPalette::Active << row.role << row.normal;
        QTest::addRow("Inactive %s", row.name) << QPalette::Inactive << row.role << row.normal;
        QTest::addRow("Disabled %s", row.name) << QPalette::Disabled << row.role << row.disabled;
    }
}

void TstStyleSetup::paletteAfterInstallation()
{
    QFETCH(QPalette::ColorGroup, group);
    QFETCH(QPalette::ColorRole, role);
    QFETCH(QColor, expected);

    QCOMPARE(mStyle->standardPalette().color(group, role), expected);
    QCOMPARE(QApplication::palette().color(group, role), expected);
    QCOMPARE(QApplication::palette().brush(group, role).style(), Qt::SolidPattern);
}

void TstStyleSetup::applicationPaletteSetLaterIsPolishedBack()
{
    QApplication::setPalette(QPalette(Qt::red));
    QCOMPARE(QApplication::palette(), mStyle->standardPalette());

    QPalette partial = QApplication::palette();
    partial.setColor(QPalette::Disabled, QPalette::ButtonText, Qt::green);
    QApplication::setPalette(partial);
    QCOMPARE(QApplication::palette().color(QPalette::Disabled, QPalette::ButtonText), QColor(127, 133, 143));
}

void TstStyleSetup::widgetPaletteIsLeftAlone()
{
    QWidget widget;
    widget.setPalette(QPalette(Qt::red));
    widget.ensurePolished();
    QCOMPARE(widget.palette().color(QPalette::Window), QColor(Qt::red));
    QCOMPARE(QApplication::palette(), mStyle->standardPalette());
}

void TstStyleSetup::polishReplacesAnyPalette()
{
    QPalette palette(Qt::blue);
    mStyle->polish(palette);
    QCOMPARE(palette, mStyle->standardPalette());
}

void TstStyleSetup::fontIsSmallAndAliased()
{
    const QFont font = QApplication::font();
    QCOMPARE(font.family(), QStringLiteral("Arial"));
    QCOMPARE(font.pixelSize(), 10);
    QCOMPARE(font.styleStrategy(), QFont::NoAntialias);
    QCOMPARE(QuorrelStyle::styleFont(), font);
    // What the font database made of it: Liberation Sans where installed, never antialiased.
    QVERIFY(!QFontInfo(font).family().isEmpty());
}

void TstStyleSetup::fontUnderSystemLocale_data()
{
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<int>("pixelSize");

    QTest::newRow("Chinese (PRC): 11 pixels") << QByteArray("zh_CN.UTF-8") << 11;
    QTest::newRow("Chinese (Taiwan): 11 pixels") << QByteArray("zh_TW.UTF-8") << 11;
    QTest::newRow("German: 10 pixels") << QByteArray("de_DE.UTF-8") << 10;
    QTest::newRow("Japanese: 10 pixels") << QByteArray("ja_JP.UTF-8") << 10;
}

void TstStyleSetup::fontUnderSystemLocale()
{
    QFETCH(QByteArray, locale);
    QFETCH(int, pixelSize);

    // The system locale is read once per process, so each locale runs in a child of its own.
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QLatin1String(fontProbeVariable), QStringLiteral("1"));
    environment.insert(QStringLiteral("LANG"), QString::fromLatin1(locale));
    environment.insert(QStringLiteral("LC_ALL"), QString::fromLatin1(locale));
    // The child runs on this run's platform, even when it was chosen on the command line.
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QGuiApplication::platformName());
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY2(child.waitForFinished(60000), qPrintable(child.errorString()));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
    const QByteArray output = child.readAllStandardOutput().trimmed();
    QCOMPARE(output, QByteArray("pixel size ") + QByteArray::number(pixelSize) + " no antialias");
}

void TstStyleSetup::tintKeepsAlphaAndMirrors_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("horizontal");
    QTest::addColumn<bool>("vertical");

    QTest::newRow("up arrow as it is") << "arrow_up.png" << false << false;
    QTest::newRow("up arrow turned down") << "arrow_up.png" << false << true;
    QTest::newRow("right arrow turned left") << "arrow_right.png" << true << false;
    QTest::newRow("both ways") << "arrow_up_small.png" << true << true;
    QTest::newRow("full resource path") << ":/data/slider.png" << false << false;
}

void TstStyleSetup::tintKeepsAlphaAndMirrors()
{
    QFETCH(QString, name);
    QFETCH(bool, horizontal);
    QFETCH(bool, vertical);

    const QColor tint(127, 133, 143);
    const QImage tinted = QuorrelStyle::loadTintedImage(name, tint, horizontal, vertical);
    const QString path = name.startsWith(QLatin1String(":/")) ? name : QLatin1String(":/data/") + name;
    const QImage source = QImage(path).convertToFormat(QImage::Format_ARGB32);
    QVERIFY(!source.isNull());
    QCOMPARE(tinted.size(), source.size());
    QVERIFY(tinted.hasAlphaChannel());

    int transparent = 0;
    int partial = 0;
    for (int y = 0; y < source.height(); ++y)
    {
        for (int x = 0; x < source.width(); ++x)
        {
            const int sx = horizontal ? source.width() - 1 - x : x;
            const int sy = vertical ? source.height() - 1 - y : y;
            const QRgb pixel = tinted.pixel(x, y);
            const int alpha = qAlpha(source.pixel(sx, sy));
            QCOMPARE(qAlpha(pixel), alpha);
            QCOMPARE(qRgb(qRed(pixel), qGreen(pixel), qBlue(pixel)), tint.rgb());
            transparent += alpha == 0;
            partial += alpha > 0 && alpha < 255;
        }
    }
    // The images are shapes on transparent ground, so both kinds of pixel were checked.
    QVERIFY(transparent > 0);
    QVERIFY(transparent < source.width() * source.height());
    if (name == QLatin1String("arrow_up.png"))
        QVERIFY(partial > 0);
}

void TstStyleSetup::tintOfMissingImageIsNull()
{
    QVERIFY(
        QuorrelStyle::loadTintedImage(QStringLiteral("no_such_image.png"), Qt::red, false, false).isNull());
    QVERIFY(QuorrelStyle::loadTintedImage(QStringLiteral(":/no/such.png"), Qt::red, true, true).isNull());
    // Only ":/" counts as a resource path; anything else is looked up under ":/data/".
    QVERIFY(
        QuorrelStyle::loadTintedImage(QStringLiteral("data/arrow_up.png"), Qt::red, false, false).isNull());
}

void TstStyleSetup::tintedIconHasThreeTints()
{
    const QPalette palette = mStyle->standardPalette();
    const QIcon icon = QuorrelStyle::createTintedIcon(palette, QStringLiteral("slider.png"), false, false);
    QVERIFY(!icon.isNull());

    const struct
    {
        QIcon::Mode mode;
        QIcon::State state;
        QColor colour;
    } tints[] = {
        {QIcon::Normal, QIcon::On, QColor(0, 147, 221)},
        {QIcon::Normal, QIcon::Off, QColor(167, 175, 190)},
        {QIcon::Disabled, QIcon::Off, QColor(127, 133, 143)},
    };
    for (const auto& tint : tints)
    {
        const QImage image = icon.pixmap(QSize(4, 7), tint.mode, tint.state).toImage();
        QCOMPARE(image.size(), QSize(4, 7));
        // The grip's first column is opaque.
        QCOMPARE(image.pixelColor(0, 3), tint.colour);
    }
}

void TstStyleSetup::tintedIconOfMissingImageIsEmpty()
{
    QVERIFY(
        QuorrelStyle::createTintedIcon(mStyle->standardPalette(), QStringLiteral("missing.png"), false, false)
            .isNull());
}

void TstStyleSetup::hoverOnlyOnListedClasses_data()
{
    QTest::addColumn<WidgetFactory>("factory");
    QTest::addColumn<bool>("hover");

    QTest::newRow("QPushButton") << WidgetFactory([] { return new QPushButton; }) << true;
    QTest::newRow("QPushButton subclass") << WidgetFactory([] { return new QCommandLinkButton; }) << true;
    QTest::newRow("QToolButton") << WidgetFactory([] { return new QToolButton; }) << true;
    QTest::newRow("QTabBar") << WidgetFactory([] { return new QTabBar; }) << true;
    QTest::newRow("QScrollBar") << WidgetFactory([] { return new QScrollBar; }) << true;
    QTest::newRow("QSlider") << WidgetFactory([] { return new QSlider; }) << true;
    QTest::newRow("QComboBox") << WidgetFactory([] { return new QComboBox; }) << true;
    QTest::newRow("QComboBox subclass") << WidgetFactory([] { return new QFontComboBox; }) << true;
    QTest::newRow("QRadioButton") << WidgetFactory([] { return new QRadioButton; }) << true;
    QTest::newRow("QCheckBox") << WidgetFactory([] { return new QCheckBox; }) << false;
    QTest::newRow("QLineEdit") << WidgetFactory([] { return new QLineEdit; }) << false;
    QTest::newRow("QLabel") << WidgetFactory([] { return new QLabel; }) << false;
    QTest::newRow("QWidget") << WidgetFactory([] { return new QWidget; }) << false;
}

void TstStyleSetup::hoverOnlyOnListedClasses()
{
    QFETCH(WidgetFactory, factory);
    QFETCH(bool, hover);

    std::unique_ptr<QWidget> widget(factory());
    widget->setAttribute(Qt::WA_Hover, false);
    mStyle->polish(widget.get());
    QCOMPARE(widget->testAttribute(Qt::WA_Hover), hover);
}

void TstStyleSetup::fileDialogHasNoContextHelpButton()
{
    // The dialog polishes itself while it is built, so the hint asked for is gone at once.
    QFileDialog dialog(nullptr, Qt::Dialog | Qt::WindowContextHelpButtonHint);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    QVERIFY(dialog.testAttribute(Qt::WA_WState_Polished));
    QVERIFY(!dialog.windowFlags().testFlag(Qt::WindowContextHelpButtonHint));
    QVERIFY(dialog.windowFlags().testFlag(Qt::Dialog));

    // Polishing again (as a style change does) takes it off again.
    dialog.setWindowFlag(Qt::WindowContextHelpButtonHint, true);
    mStyle->polish(&dialog);
    QVERIFY(!dialog.windowFlags().testFlag(Qt::WindowContextHelpButtonHint));
    QVERIFY(dialog.windowFlags().testFlag(Qt::WindowTitleHint));

    // Other dialogs keep it.
    QDialog other(nullptr, Qt::Dialog | Qt::WindowContextHelpButtonHint);
    mStyle->polish(&other);
    QVERIFY(other.windowFlags().testFlag(Qt::WindowContextHelpButtonHint));
}

void TstStyleSetup::resourcesRegisteredBeforeStyleExists()
{
    QVERIFY(resourcesExistedBeforeStyle);
}

void TstStyleSetup::resourcePresentWithSize_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("alpha");

    const QString style = QStringLiteral(":/data/style/");
    // Button-like sets: one-pixel pieces; the side edges (4, 8) and the centre stretch over 13 rows.
    const QSize buttonPieces[9] = {{1, 1}, {1, 1}, {1, 1}, {1, 13}, {1, 1}, {1, 1}, {1, 1}, {1, 13}, {1, 13}};
    for (const char* set :
         {"pushbutton_normal", "pushbutton_highlight", "pushbutton_disabled", "pushbutton_normal_pressed",
          "pushbutton_hlPressed", "pushbutton_disabledPressed", "menubutton_normal", "menubutton_pressed",
          "topTab_active", "topTab_nonactive", "bottomTab_active", "bottomTab_nonactive"})
    {
        for (int piece = 1; piece <= 9; ++piece)
            QTest::addRow("%s_%d", set, piece)
                << style + QStringLiteral("%1_%2.png").arg(QLatin1String(set)).arg(piece)
                << buttonPieces[piece - 1] << false;
    }
    const QSize menuBarPieces[9] = {{1, 1}, {1, 1}, {1, 1},  {1, 22}, {1, 1},
                                    {1, 1}, {1, 1}, {1, 22}, {1, 22}};
    for (int piece = 1; piece <= 9; ++piece)
        QTest::addRow("menubar_%d", piece)
            << style + QStringLiteral("menubar_%1.png").arg(piece) << menuBarPieces[piece - 1] << false;
    const QSize radioPieces[9] = {{2, 2},  {11, 2}, {2, 2},  {2, 11}, {2, 2},
                                  {11, 2}, {2, 2},  {2, 11}, {11, 11}};
    for (const char* set : {"radio_normal", "radio_active"})
    {
        for (int piece = 1; piece <= 9; ++piece)
            QTest::addRow("%s_%d", set, piece)
                << style + QStringLiteral("%1_%2.png").arg(QLatin1String(set)).arg(piece)
                << radioPieces[piece - 1] << false;
    }
    for (const char* name : {"check_normal_9", "check_active_9", "check_disabled_9"})
        QTest::newRow(name) << style + QLatin1String(name) + QLatin1String(".png") << QSize(11, 11) << false;

    const struct
    {
        const char* name;
        QSize size;
        bool alpha; // shapes that are tinted must carry alpha
    } data[] = {
        {"arrow_up.png", {7, 5}, true},
        {"arrow_right.png", {5, 7}, true},
        {"arrow_up_small.png", {5, 4}, true},
        {"arrow_right_small.png", {4, 5}, true},
        {"slider.png", {4, 7}, true},
        {"slider_rotate.png", {7, 4}, true},
        {"clip_audio.png", {128, 72}, false},
        {"clip_video.png", {128, 72}, false},
        {"clip_videoaudio.png", {128, 72}, false},
        {"clip_group.png", {128, 72}, false},
        {"clip_pending.png", {128, 72}, false},
        {"clip_unknown.png", {128, 72}, false},
        {"zel_logo_small.png", {139, 75}, false},
        {"cursor_zelcross.png", {32, 32}, false},
        {"not_supported.png", {178, 38}, false},
    };
    for (const auto& row : data)
        QTest::newRow(row.name) << QStringLiteral(":/data/") + QLatin1String(row.name) << row.size
                                << row.alpha;

    // The rest of the tree: present and readable, any size.
    for (const char* name : {"style/eject.png",
                             "ff_arrows.png",
                             "focusborder.png",
                             "icon_info.png",
                             "icon_info_small.png",
                             "icon_question.png",
                             "icon_question_small.png",
                             "icon_warning.png",
                             "icon_warning_small.png",
                             "icon_critical.png",
                             "icon_critical_small.png",
                             "filenew.png",
                             "fileopen.png",
                             "filesave.png",
                             "folder_open.png",
                             "folder_close.png",
                             "flow.png",
                             "play.png",
                             "step.png",
                             "10step.png",
                             "skip.png",
                             "loop.png",
                             "pingPong.png",
                             "tl_start.png",
                             "vtr_io.png",
                             "io_button.png",
                             "io_marker.png",
                             "io_range_button.png",
                             "mode_edit.png",
                             "mode_master.png",
                             "mode_trim.png",
                             "scrub_9.png",
                             "scrubbar_9.png",
                             "scrubbar_playhead.png",
                             "timeline_text.png",
                             "timeline_thumb.png",
                             "timeline_thumb_all.png",
                             "timeline_wave.png",
                             "led_on.png",
                             "led_off.png",
                             "defrag_drive.png",
                             "defrag_folder.png",
                             "smiley.png"})
        QTest::newRow(name) << QStringLiteral(":/data/") + QLatin1String(name) << QSize() << false;
}

void TstStyleSetup::resourcePresentWithSize()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    QFETCH(bool, alpha);

    QVERIFY2(QFile::exists(path), qPrintable(path));
    const QImage image(path);
    QVERIFY2(!image.isNull(), qPrintable(path));
    if (size.isValid())
        QCOMPARE(image.size(), size);
    if (alpha)
    {
        QVERIFY(image.hasAlphaChannel());
        QCOMPARE(image.depth(), 32);
    }
}

void TstStyleSetup::resourceTreeHoldsEveryFile()
{
    QStringList files;
    QDirIterator it(QStringLiteral(":/data"), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    QCOMPARE(files.size(), 197);
    QCOMPARE(files.filter(QStringLiteral(":/data/style/")).size(), 139);
}

void TstStyleSetup::onlyRawVideoFrameIsCompressed()
{
    const QResource frame(QStringLiteral(":/data/not_supported.yuv"));
    QVERIFY(frame.isValid());
    QCOMPARE(frame.compressionAlgorithm(), QResource::ZlibCompression);
    QCOMPARE(frame.uncompressedSize(), qint64(178 * 38 * 2));
    QVERIFY(frame.size() < frame.uncompressedSize());
    QCOMPARE(frame.uncompressedData().size(), 178 * 38 * 2);

    QDirIterator it(QStringLiteral(":/data"), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
    {
        const QString path = it.next();
        if (path.endsWith(QLatin1String(".png")))
            QVERIFY2(QResource(path).compressionAlgorithm() == QResource::NoCompression, qPrintable(path));
    }
}

int main(int argc, char** argv)
{
    resourcesExistedBeforeStyle = QFile::exists(QStringLiteral(":/data/style/menubar_1.png"));
    if (qEnvironmentVariableIsSet(fontProbeVariable))
    {
        QApplication application(argc, argv);
        QApplication::setStyle(new QuorrelStyle);
        const QFont font = QApplication::font();
        std::printf("pixel size %d %s\n", font.pixelSize(),
                    font.styleStrategy() == QFont::NoAntialias ? "no antialias" : "antialiased");
        return 0;
    }
    QApplication application(argc, argv);
    TstStyleSetup test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_stylesetup.moc"
