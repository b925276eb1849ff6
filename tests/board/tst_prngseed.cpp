// Board discovery and seeding, against the scriptable board.

#include "fakedazavo.h"
#include "prngseed.h"
#include "diagnosticcapture.h"

#include <QTest>

using FakeDazavo::Board;

Q_DECLARE_METATYPE(std::vector<Board>)

class TestPrngSeed : public QObject
{
    Q_OBJECT

private slots:
    void seeding_data();
    void seeding();
    void boardsAreProbedWithTheDocumentedArguments();
    void busyBoardFailsAfterIdentification();
    void failingDrawSeedsNothing();
};

void TestPrngSeed::seeding_data()
{
    QTest::addColumn<std::vector<Board>>("boards");
    QTest::addColumn<int>("bytes");
    QTest::addColumn<int>("result");
    QTest::addColumn<QByteArray>("output");

    QTest::newRow("no board at all") << std::vector<Board>{} << 128 << 0
                                     << QByteArray("Detected 0 Zel cards in your system\n"
                                                   "No Zel card was identified as Zel Kavra\n");
    QTest::newRow("one board 281") << std::vector<Board>{{281}} << 128 << 128
                                   << QByteArray("Detected 1 Zel card in your system\n"
                                                 "Identified card 0 as Zel Kavra card\n");
    QTest::newRow("one board 452 is no Kavra") << std::vector<Board>{{452}} << 128 << 0
                                               << QByteArray("Detected 1 Zel card in your system\n"
                                                             "No Zel card was identified as Zel Kavra\n");
    QTest::newRow("213 and 287: the last match wins") << std::vector<Board>{{213}, {287}} << 128 << 128
                                                      << QByteArray("Detected 2 Zel cards in your system\n"
                                                                    "Identified card 1 as Zel Kavra card\n");
    QTest::newRow("serial 21 exactly") << std::vector<Board>{{21}} << 128 << 128
                                       << QByteArray("Detected 1 Zel card in your system\n"
                                                     "Identified card 0 as Zel Kavra card\n");
    QTest::newRow("serial 2 never matches") << std::vector<Board>{{2}} << 128 << 0
                                            << QByteArray("Detected 1 Zel card in your system\n"
                                                          "No Zel card was identified as Zel Kavra\n");
    QTest::newRow("serial 0 never matches") << std::vector<Board>{{0}} << 128 << 0
                                            << QByteArray("Detected 1 Zel card in your system\n"
                                                          "No Zel card was identified as Zel Kavra\n");
    QTest::newRow("largest serial 2147483647 starts with 21")
        << std::vector<Board>{{2147483647}} << 128 << 128
        << QByteArray("Detected 1 Zel card in your system\nIdentified card 0 as Zel Kavra card\n");
    QTest::newRow("query fails at index 2")
        << std::vector<Board>{{2800001}, {452}, {Board{281, true, false}}, {283}} << 128 << 0
        << QByteArray("Couldn't get the Serial Number from card 2\n"
                      "Detected 2 Zel cards in your system\n"
                      "Identified card 0 as Zel Kavra card\n");
    QTest::newRow("negative serial stops the enumeration")
        << std::vector<Board>{{-281}, {281}} << 128 << 0
        << QByteArray("Serial Number from card 0 is negative\n"
                      "Detected 0 Zel cards in your system\n"
                      "No Zel card was identified as Zel Kavra\n");
    QTest::newRow("close fails after a match")
        << std::vector<Board>{{Board{281, false, true}}} << 128 << 0
        << QByteArray("Couldn't close card 0\n"
                      "Detected 0 Zel cards in your system\n"
                      "Identified card 0 as Zel Kavra card\n");
    QTest::newRow("500 bytes are capped at 128") << std::vector<Board>{{2800001}} << 500 << 128
                                                 << QByteArray("seed_prng_kavra(): bytes > MAX_BYTES, only "
                                                               "retrieving MAX_BYTES!\n"
                                                               "Detected 1 Zel card in your system\n"
                                                               "Identified card 0 as Zel Kavra card\n");
    QTest::newRow("fewer bytes than the maximum") << std::vector<Board>{{2800001}} << 16 << 16
                                                  << QByteArray("Detected 1 Zel card in your system\n"
                                                                "Identified card 0 as Zel Kavra card\n");
}

void TestPrngSeed::seeding()
{
    QFETCH(std::vector<Board>, boards);
    QFETCH(int, bytes);
    QFETCH(int, result);
    QFETCH(QByteArray, output);

    FakeDazavo::reset(boards);
    DiagnosticCapture capture;
    QCOMPARE(seed_prng_kavra(bytes), result);
    QCOMPARE(capture.take(), output);
    QCOMPARE(FakeDazavo::openHandles(), 0);
    if (result > 0)
        QCOMPARE(FakeDazavo::lastRandomCount(), result);
}

void TestPrngSeed::boardsAreProbedWithTheDocumentedArguments()
{
    FakeDazavo::reset({{452}, {2800001}});
    DiagnosticCapture capture;
    QCOMPARE(seed_prng_kavra(128), 128);
    const std::vector<std::string> expected = {
        "sv_openex PCI,card:0 1 262144 0 0", "sv_query 0 126 0", "sv_close 0",
        "sv_openex PCI,card:1 1 262144 0 0", "sv_query 1 126 0", "sv_close 1",
        "sv_openex PCI,card:2 1 262144 0 0", "sv_open PCI,card:1",
        "sv_random 1 128",                   "sv_close 1",
    };
    QCOMPARE(FakeDazavo::calls(), expected);
}

void TestPrngSeed::busyBoardFailsAfterIdentification()
{
    FakeDazavo::reset();
    FakeDazavo::setOpenFails(true);
    DiagnosticCapture capture;
    QCOMPARE(seed_prng_kavra(128), 0);
    QCOMPARE(capture.take(), QByteArray("Detected 1 Zel card in your system\n"
                                        "Identified card 0 as Zel Kavra card\n"
                                        "Couldn't open the Zel Kavra card for programming\n"));
    QCOMPARE(FakeDazavo::openHandles(), 0);
}

void TestPrngSeed::failingDrawSeedsNothing()
{
    FakeDazavo::reset();
    FakeDazavo::setRandomFails(true);
    DiagnosticCapture capture;
    QCOMPARE(seed_prng_kavra(128), 0);
    QCOMPARE(capture.take(), QByteArray("Detected 1 Zel card in your system\n"
                                        "Identified card 0 as Zel Kavra card\n"
                                        "Couldn't get random bytes\n"));
    QCOMPARE(FakeDazavo::openHandles(), 0);
}

QTEST_GUILESS_MAIN(TestPrngSeed)
#include "tst_prngseed.moc"
