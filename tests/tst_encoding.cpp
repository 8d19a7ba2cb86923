// Conversions between report bytes and field texts. This executable also
// runs under a French locale, whose decimal separator is a comma: every
// result must be the same there.

#include "protocol/encoding.h"

#include <QLocale>
#include <QString>
#include <QtTest>

#include <cstdint>

class TestEncoding : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyByteRoundTrips_data();
    void everyByteRoundTrips();
    void frequencyToText_data();
    void frequencyToText();
    void frequencyFromText_data();
    void frequencyFromText();
    void frequencyOutOfIntegerRange_data();
    void frequencyOutOfIntegerRange();
    void frequencyMhz_data();
    void frequencyMhz();
    void decimalFromText_data();
    void decimalFromText();
    void capacity_data();
    void capacity();
};

void TestEncoding::initTestCase()
{
    // The French run is only worth something if Qt really sees a comma locale.
    if (qgetenv("LC_ALL").startsWith("fr"))
        QCOMPARE(QLocale().decimalPoint(), QLatin1Char(','));
}

void TestEncoding::everyByteRoundTrips_data()
{
    QTest::addColumn<int>("byte");
    for (int byte = 0; byte <= 255; ++byte)
        QTest::addRow("%d", byte) << byte;
}

void TestEncoding::everyByteRoundTrips()
{
    QFETCH(int, byte);
    const auto value = static_cast<std::uint8_t>(byte);

    const QString frequency = frequencyByteToText(value);
    QVERIFY2(!frequency.contains(QLatin1Char('.')), qPrintable(frequency));
    QCOMPARE(int(frequencyTextToByte(frequency)), byte);
    // The same value typed with a point instead of the comma.
    QCOMPARE(int(frequencyTextToByte(withDecimalPoint(frequency))), byte);

    const QString decimal = byteToDecimalText(value);
    QCOMPARE(decimal, QString::number(byte));
    QCOMPARE(int(decimalTextToByte(decimal)), byte);
}

void TestEncoding::frequencyToText_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << "0";
    QTest::newRow("1") << 1 << "0,05";
    QTest::newRow("2") << 2 << "0,1";
    QTest::newRow("3") << 3 << "0,15";
    QTest::newRow("16") << 16 << "0,8";
    QTest::newRow("20") << 20 << "1";
    QTest::newRow("25") << 25 << "1,25";
    QTest::newRow("201") << 201 << "10,05";
    QTest::newRow("255") << 255 << "12,75";
}

void TestEncoding::frequencyToText()
{
    QFETCH(int, byte);
    QFETCH(QString, text);
    QCOMPARE(frequencyByteToText(static_cast<std::uint8_t>(byte)), text);
}

void TestEncoding::frequencyFromText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("byte");
    QTest::newRow("lowest step") << "0,05" << 1;
    QTest::newRow("between steps truncates") << "0,07" << 1;
    QTest::newRow("just below next step") << "0,08" << 1;
    QTest::newRow("point") << "0.15" << 3;
    QTest::newRow("comma") << "0,3" << 6;
    QTest::newRow("whole") << "1" << 20;
    QTest::newRow("highest") << "12,75" << 255;
    QTest::newRow("one step over wraps") << "12,8" << 0;
    QTest::newRow("13 keeps low bits") << "13" << 4;
    QTest::newRow("below a step") << "0,04" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("not a number") << "abc" << 0;
    QTest::newRow("trailing junk") << "1,5MHz" << 0;
    QTest::newRow("two separators") << "1,2,3" << 0;
}

void TestEncoding::frequencyFromText()
{
    QFETCH(QString, text);
    QFETCH(int, byte);
    QCOMPARE(int(frequencyTextToByte(text)), byte);
}

void TestEncoding::frequencyOutOfIntegerRange_data()
{
    // Texts whose value times 20 is no int: they must still give a byte,
    // without undefined behaviour. -1 means any byte will do.
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("byte");
    QTest::newRow("huge") << "1e300" << 0;
    QTest::newRow("above long long") << "1e18" << 0;
    QTest::newRow("negative") << "-1" << 236;
    QTest::newRow("negative step") << "-0,05" << 255;
    QTest::newRow("huge negative") << "-1e300" << 0;
    QTest::newRow("infinity") << "inf" << -1;
    QTest::newRow("negative infinity") << "-inf" << -1;
    QTest::newRow("not a number") << "nan" << -1;
}

void TestEncoding::frequencyOutOfIntegerRange()
{
    QFETCH(QString, text);
    QFETCH(int, byte);
    const int actual = frequencyTextToByte(text);
    QCOMPARE(int(frequencyTextToByte(text)), actual);
    if (byte >= 0)
        QCOMPARE(actual, byte);
}

void TestEncoding::frequencyMhz_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("mhz");
    QTest::newRow("comma") << "12,75" << 12.75;
    QTest::newRow("point") << "0.05" << 0.05;
    QTest::newRow("out of range kept") << "13" << 13.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("not a number") << "x" << 0.0;
}

void TestEncoding::frequencyMhz()
{
    QFETCH(QString, text);
    QFETCH(double, mhz);
    QCOMPARE(frequencyTextToMhz(text), mhz);
}

void TestEncoding::decimalFromText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("byte");
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("15") << "15" << 15;
    QTest::newRow("255") << "255" << 255;
    QTest::newRow("256 wraps") << "256" << 0;
    QTest::newRow("300 low bits") << "300" << 44;
    QTest::newRow("negative low bits") << "-1" << 255;
    QTest::newRow("letters") << "abc" << 0;
    QTest::newRow("trailing letters") << "12a" << 0;
    QTest::newRow("decimal") << "1.5" << 0;
    QTest::newRow("too long for any integer") << "99999999999999999999999" << 0;
}

void TestEncoding::decimalFromText()
{
    QFETCH(QString, text);
    QFETCH(int, byte);
    QCOMPARE(int(decimalTextToByte(text)), byte);
}

void TestEncoding::capacity_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("universes");
    QTest::newRow("0") << 0 << 8;
    QTest::newRow("8") << 8 << 8;
    QTest::newRow("1") << 1 << 16;
    QTest::newRow("9") << 9 << 16;
    QTest::newRow("16") << 16 << 16;
    QTest::newRow("24") << 24 << 16;
    QTest::newRow("255") << 255 << 16;
}

void TestEncoding::capacity()
{
    QFETCH(int, byte);
    QFETCH(int, universes);
    const auto value = static_cast<std::uint8_t>(byte);
    QCOMPARE(capacityFromByte(value), universes);
    // The fixed commands write the capacity the old code reads as.
    QCOMPARE(int(capacityByteFor(value)), universes);
}

QTEST_MAIN(TestEncoding)
#include "tst_encoding.moc"
