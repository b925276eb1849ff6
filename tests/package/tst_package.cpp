// The Debian package as a user gets it: made by CPack from this build's install rules, listed
// and unpacked with dpkg-deb, and the unpacked talvane-chain run from there without any help
// to find its libraries.
#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace
{

struct Run
{
    int exitCode = -1;
    bool finished = false;
    QByteArray out;
    QByteArray err;
};

// Runs with standard input from the null device and no library search path of its own, so a
// program only starts when the system finds what it links.
Run run(const QString& program, const QStringList& arguments, const QString& workingDirectory = QString())
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("LD_LIBRARY_PATH"));
    environment.remove(QStringLiteral("DAZAVO_SIMULATED_BOARDS"));
    environment.remove(QStringLiteral("TALVANE_PASSWORD"));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(workingDirectory);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    Run result;
    result.finished = process.waitForFinished(300000) && process.exitStatus() == QProcess::NormalExit;
    if (!result.finished)
        process.kill();
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

QByteArray describe(const Run& run)
{
    return "exit " + QByteArray::number(run.exitCode) + (run.finished ? "" : " (did not finish)") +
           "\nstdout:\n" + run.out + "stderr:\n" + run.err;
}

bool succeeded(const Run& run)
{
    return run.finished && run.exitCode == 0;
}

// "libfoo1 (>= 1.2), fonts-x | fonts-y" -> {"libfoo1", "fonts-x", "fonts-y"}.
QStringList packageNames(const QString& relationField)
{
    QStringList names;
    for (const QString& alternative : relationField.split(QRegularExpression(QStringLiteral("[,|]"))))
        names << alternative.section(QLatin1Char('('), 0, 0).trimmed();
    return names;
}

// The package that installed a library, as dpkg knows it; /lib is /usr/lib on a merged system,
// and dpkg may have recorded either.
QString owningPackage(const QString& path)
{
    const QString other =
        path.startsWith(QLatin1String("/usr/")) ? path.mid(4) : QStringLiteral("/usr") + path;
    for (const QString& candidate : {path, other})
    {
        const Run query = run(QStringLiteral("dpkg"), {QStringLiteral("-S"), candidate});
        if (succeeded(query))
            return QString::fromUtf8(query.out).section(QLatin1Char(':'), 0, 0);
    }
    return QString();
}

} // namespace

class TestPackage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void contents_data();
    void contents();
    void everythingUnderUsr();
    void libraries();
    void desktopEntry();
    void icons();
    void manualPage();
    void chainFromPackage();

private:
    QString unpacked(const QString& path) const { return mWork.filePath(QStringLiteral("root/") + path); }

    QTemporaryDir mWork;
    QString mDeb;
    QMap<QString, QString> mModes; // path in the package ("usr/bin/talvane") -> "-rwxr-xr-x"
    QMap<QString, QString> mFields;
};

void TestPackage::initTestCase()
{
    QVERIFY(mWork.isValid());
    const Run cpack =
        run(QStringLiteral(TALVANE_CPACK), {QStringLiteral("--config"), QStringLiteral(TALVANE_CPACK_CONFIG),
                                            QStringLiteral("-B"), mWork.filePath(QStringLiteral("out"))});
    QVERIFY2(succeeded(cpack), describe(cpack));
    const QStringList debs = QDir(mWork.filePath(QStringLiteral("out"))).entryList({QStringLiteral("*.deb")});
    QCOMPARE(debs.size(), 1);
    mDeb = mWork.filePath(QStringLiteral("out/") + debs.front());

    const Run listing = run(QStringLiteral("dpkg-deb"), {QStringLiteral("--contents"), mDeb});
    QVERIFY2(succeeded(listing), describe(listing));
    // "-rwxr-xr-x root/root 123 2025-01-01 10:00 ./usr/bin/talvane"
    for (const QString& line : QString::fromUtf8(listing.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
    {
        const QString path = line.section(QStringLiteral(" ./"), 1).section(QStringLiteral(" -> "), 0, 0);
        mModes.insert(path.endsWith(QLatin1Char('/')) ? path.chopped(1) : path, line.left(10));
    }

    const Run fields = run(QStringLiteral("dpkg-deb"), {QStringLiteral("--field"), mDeb});
    QVERIFY2(succeeded(fields), describe(fields));
    for (const QString& line : QString::fromUtf8(fields.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        if (!line.startsWith(QLatin1Char(' ')))
            mFields.insert(line.section(QStringLiteral(": "), 0, 0), line.section(QStringLiteral(": "), 1));

    const Run extract = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), mDeb, mWork.filePath("root")});
    QVERIFY2(succeeded(extract), describe(extract));
}

void TestPackage::contents_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("executable");
    QTest::newRow("window program") << "usr/bin/talvane" << true;
    QTest::newRow("command-line program") << "usr/bin/talvane-chain" << true;
    QTest::newRow("desktop entry") << "usr/share/applications/talvane.desktop" << false;
    // The one size every icon theme must have.
    QTest::newRow("icon at 48x48") << "usr/share/icons/hicolor/48x48/apps/talvane.png" << false;
    QTest::newRow("manual page") << "usr/share/man/man1/talvane-chain.1.gz" << false;
}

void TestPackage::contents()
{
    QFETCH(QString, path);
    QFETCH(bool, executable);
    QVERIFY2(mModes.contains(path), qPrintable(mModes.keys().join('\n')));
    QVERIFY2(mModes.value(path).startsWith(QLatin1Char('-')), qPrintable(mModes.value(path)));
    QCOMPARE(mModes.value(path).at(3) == QLatin1Char('x'), executable);
}

// Nothing of the build machine (its build folder, a home folder) ends up in the package.
void TestPackage::everythingUnderUsr()
{
    QVERIFY(!mModes.isEmpty());
    for (const QString& path : mModes.keys())
        QVERIFY2(path.isEmpty() || path == QLatin1String("usr") || path.startsWith(QLatin1String("usr/")),
                 qPrintable(path));
    QCOMPARE(mFields.value("Package"), QStringLiteral("talvane"));
}

// Every library the programs link comes from a package the Depends field names, and the programs
// carry no search path into the build tree.
void TestPackage::libraries()
{
    const QStringList depends = packageNames(mFields.value("Depends"));
    // The style's "Arial" is a font, which no linker sees.
    QVERIFY2(depends.contains(QStringLiteral("fonts-liberation2")), qPrintable(depends.join(", ")));
    for (const QString program : {"usr/bin/talvane", "usr/bin/talvane-chain"})
    {
        const Run headers = run(QStringLiteral("objdump"), {QStringLiteral("-p"), unpacked(program)});
        QVERIFY2(succeeded(headers), describe(headers));
        const Run resolved = run(QStringLiteral("ldd"), {unpacked(program)});
        QVERIFY2(succeeded(resolved), describe(resolved));
        QRegularExpression rpath(QStringLiteral("^\\s*(RPATH|RUNPATH)\\s+(\\S+)"),
                                 QRegularExpression::MultilineOption);
        for (const QRegularExpressionMatch& match : rpath.globalMatch(QString::fromUtf8(headers.out)))
            QVERIFY2(match.captured(2).startsWith(QLatin1String("$ORIGIN")), qPrintable(match.captured(0)));

        QRegularExpression needed(QStringLiteral("^\\s*NEEDED\\s+(\\S+)"),
                                  QRegularExpression::MultilineOption);
        int count = 0;
        for (const QRegularExpressionMatch& match : needed.globalMatch(QString::fromUtf8(headers.out)))
        {
            const QRegularExpression line(QRegularExpression::escape(match.captured(1)) +
                                          QStringLiteral(" => (/\\S+)"));
            // The dynamic loader itself is listed by its path, without "=>".
            const QRegularExpression loader(QStringLiteral("^\\s*(/\\S*") + QRegularExpression::escape(match.captured(1)) +
                                                QStringLiteral(")\\s"),
                                            QRegularExpression::MultilineOption);
            QString path = line.match(QString::fromUtf8(resolved.out)).captured(1);
            if (path.isEmpty())
                path = loader.match(QString::fromUtf8(resolved.out)).captured(1);
            QVERIFY2(!path.isEmpty(),
                     qPrintable(program + QLatin1String(": ") + match.captured(1) + " not found"));
            const QString package = owningPackage(path);
            QVERIFY2(depends.contains(package),
                     qPrintable(program + QLatin1String(": ") + path + " from \"" + package +
                                "\", Depends: " + mFields.value("Depends")));
            ++count;
        }
        QVERIFY2(count > 0, qPrintable(program));
    }
}

void TestPackage::desktopEntry()
{
    QFile file(unpacked("usr/share/applications/talvane.desktop"));
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    QCOMPARE(lines.value(0), QStringLiteral("[Desktop Entry]"));
    QMap<QString, QString> keys;
    for (const QString& line : lines.mid(1))
        if (line.contains(QLatin1Char('=')))
            keys.insert(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1));
    QCOMPARE(keys.value("Type"), QStringLiteral("Application"));
    QVERIFY(!keys.value("Name").isEmpty());
    // The menu starts the packaged program and shows the packaged icon.
    const QString program = keys.value("Exec").section(QLatin1Char(' '), 0, 0);
    QVERIFY2(mModes.contains(QStringLiteral("usr/bin/") + program), qPrintable(keys.value("Exec")));
    QVERIFY2(mModes.contains("usr/share/icons/hicolor/48x48/apps/" + keys.value("Icon") + ".png"),
             qPrintable(keys.value("Icon")));
}

// Each icon is as large as its folder says, drawn on a plate with transparent rounded corners.
void TestPackage::icons()
{
    QList<int> sizes;
    QDirIterator it(unpacked("usr/share/icons/hicolor"), {QStringLiteral("talvane.png")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
    {
        const QString path = it.next();
        const QString folder = QDir(path).path().section(QLatin1Char('/'), -3, -3);
        QVERIFY2(path.endsWith(folder + QLatin1String("/apps/talvane.png")), qPrintable(path));
        const int size = folder.section(QLatin1Char('x'), 0, 0).toInt();
        QCOMPARE(folder, QStringLiteral("%1x%1").arg(size));
        const QImage icon(path);
        QCOMPARE(icon.size(), QSize(size, size));
        QVERIFY2(qAlpha(icon.pixel(0, 0)) < 255, qPrintable(path));
        QCOMPARE(qAlpha(icon.pixel(size / 2, size / 2)), 255);
        sizes << size;
    }
    // Menus and panels ask for 16 to 48 pixels, software centres and large views for 256.
    for (const int size : {16, 32, 48, 256})
        QVERIFY2(sizes.contains(size), qPrintable(QString::number(size)));
}

// The manual page names the packaged version and every option the packaged program's help lists
// for any of its commands.
void TestPackage::manualPage()
{
    const Run page = run(QStringLiteral("gzip"),
                         {QStringLiteral("-dc"), unpacked("usr/share/man/man1/talvane-chain.1.gz")});
    QVERIFY2(succeeded(page), describe(page));
    const QString text = QString::fromUtf8(page.out).replace(QLatin1String("\\-"), QLatin1String("-"));
    QVERIFY2(text.contains(QLatin1String(".TH TALVANE-CHAIN \"1\"")), qPrintable(text.left(400)));
    QVERIFY2(text.contains("\"talvane-chain " + mFields.value("Version") + '"'), qPrintable(text.left(400)));

    const Run help = run(unpacked("usr/bin/talvane-chain"), {QStringLiteral("help"), QStringLiteral("--all")});
    QVERIFY2(succeeded(help), describe(help));
    QRegularExpression option(QStringLiteral("--[a-z][a-z0-9-]*"));
    int count = 0;
    for (const QRegularExpressionMatch& match : option.globalMatch(QString::fromUtf8(help.out)))
    {
        QVERIFY2(text.contains(match.captured(0)), qPrintable(match.captured(0)));
        ++count;
    }
    QVERIFY(count > 10);
}

// The packaged talvane-chain, started from an unrelated folder, makes a whole chain there and
// keeps its serial-number trace in that working directory.
void TestPackage::chainFromPackage()
{
    const QString program = unpacked("usr/bin/talvane-chain");
    QTemporaryDir folder;
    QVERIFY(folder.isValid());

    const Run version = run(program, {QStringLiteral("--version")}, folder.path());
    QVERIFY2(succeeded(version), describe(version));
    QCOMPARE(QString::fromUtf8(version.out), "talvane-chain " + mFields.value("Version") + '\n');

    QFile password(folder.filePath("password"));
    QVERIFY(password.open(QIODevice::WriteOnly) && password.write("package test\n") > 0);
    password.close();
    const Run chain = run(program,
                          {"chain", "--out-dir", "certificates", "--root-name", ".X", "--organization", ".Y",
                           "--password-file", "password", "--serial", "trace"},
                          folder.path());
    QVERIFY2(succeeded(chain), describe(chain));
    // A root, one intermediate and a leaf, each as PEM and PKCS#12, and chain.pem.
    const QStringList written = QString::fromUtf8(chain.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(written.size(), 7);
    for (const QString& file : written)
        QVERIFY2(QFileInfo(QDir(folder.path()).absoluteFilePath(file)).size() > 0, qPrintable(file));
    QVERIFY(QFileInfo::exists(folder.filePath("certificates/chain.pem")));
    QVERIFY(QFileInfo::exists(folder.filePath("serialNumberTrace")));

    const Run verify =
        run(program, {"verify", "root.pem", "intermediate.pem", "leaf.pem"}, folder.filePath("certificates"));
    QVERIFY2(succeeded(verify), describe(verify));
}

QTEST_GUILESS_MAIN(TestPackage)
#include "tst_package.moc"
