// The emulated board-access library: which boards it reports, and its random source.

#include "dazavo.h"

#include <QTest>

#include <cstdlib>
#include <cstring>
#include <vector>

class TestDazavo : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { qunsetenv("DAZAVO_SIMULATED_BOARDS"); }
    void boards_data();
    void boards();
    void randomBytesDiffer();
    void badSetupStringsOpenNothing();
};

namespace
{

std::vector<int> enumerate()
{
    std::vector<int> serials;
    for (int index = 0;; ++index)
    {
        sv_handle* handle = nullptr;
        const QByteArray setup = "PCI,card:" + QByteArray::number(index);
        if (sv_openex(&handle, setup.constData(), 1, 0x40000, 0, 0) != 0)
            return serials;
        int serial = 0;
        if (sv_query(handle, SV_QUERY_SERIALNUMBER, 0, &serial) == 0)
            serials.push_back(serial);
        sv_close(handle);
    }
}

} // namespace

void TestDazavo::boards_data()
{
    QTest::addColumn<QByteArray>("variable");
    QTest::addColumn<bool>("set");
    QTest::addColumn<std::vector<int>>("serials");

    QTest::newRow("unset: one cryptographic board") << QByteArray() << false << std::vector<int>{2800001};
    QTest::newRow("set but empty: no board") << QByteArray("") << true << std::vector<int>{};
    QTest::newRow("one board") << QByteArray("452") << true << std::vector<int>{452};
    QTest::newRow("two boards in index order") << QByteArray("213,287") << true << std::vector<int>{213, 287};
    QTest::newRow("negative serial kept") << QByteArray("-5") << true << std::vector<int>{-5};
}

void TestDazavo::boards()
{
    QFETCH(QByteArray, variable);
    QFETCH(bool, set);
    QFETCH(std::vector<int>, serials);
    if (set)
        qputenv("DAZAVO_SIMULATED_BOARDS", variable);
    QCOMPARE(enumerate(), serials);
}

void TestDazavo::randomBytesDiffer()
{
    sv_handle* handle = sv_open("PCI,card:0");
    QVERIFY(handle != nullptr);
    unsigned char first[128] = {};
    unsigned char second[128] = {};
    QCOMPARE(sv_random(handle, first, 128), 0);
    QCOMPARE(sv_random(handle, second, 128), 0);
    QVERIFY(memcmp(first, second, sizeof first) != 0);
    QCOMPARE(sv_close(handle), 0);
}

void TestDazavo::badSetupStringsOpenNothing()
{
    for (const char* setup : {"PCI,card:1", "PCI,card:", "PCI,card:-1", "USB,card:0", "PCI,card:0x"})
        QVERIFY2(sv_open(setup) == nullptr, setup);
    sv_handle* handle = reinterpret_cast<sv_handle*>(1);
    QVERIFY(sv_openex(&handle, nullptr, 1, 0x40000, 0, 0) != 0);
}

QTEST_GUILESS_MAIN(TestDazavo)
#include "tst_dazavo.moc"
