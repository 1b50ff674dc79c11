#include "Exception.h"
#include "text/IntText.h"

#include <QTest>

class TestIntText : public QObject {
    Q_OBJECT
private slots:
    void accepted_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << "1000" << 1000;
        QTest::newRow("leading blanks") << "   42" << 42;
        QTest::newRow("plus") << "+7" << 7;
        QTest::newRow("minus") << "-500" << -500;
        QTest::newRow("leading zeros") << "007" << 7;
        QTest::newRow("dollar hex") << "$3E8" << 1000;
        QTest::newRow("x hex") << "x10" << 16;
        QTest::newRow("X hex") << "Xff" << 255;
        QTest::newRow("0x hex") << "0x3E8" << 1000;
        QTest::newRow("0X hex") << "0Xa" << 10;
        QTest::newRow("largest") << "2147483647" << 2147483647;
        QTest::newRow("smallest") << "-2147483648" << int(-2147483648LL);
        QTest::newRow("hex wraps to negative") << "$FFFFFFFF" << -1;
        QTest::newRow("hex high bit") << "$80000000" << int(-2147483648LL);
    }
    void accepted() {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(inttext::parse(text), std::optional<std::int32_t>(value));
    }

    void rejected_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("blanks only") << "   ";
        QTest::newRow("trailing blank") << "12 ";
        QTest::newRow("unit after number") << "500ms";
        QTest::newRow("word") << "true";
        QTest::newRow("sign only") << "-";
        QTest::newRow("dollar only") << "$";
        QTest::newRow("0x only") << "0x";
        QTest::newRow("two signs") << "+-1";
        QTest::newRow("blank after sign") << "- 1";
        QTest::newRow("tab before") << "\t1";
        QTest::newRow("decimal point") << "1.5";
        QTest::newRow("too large") << "2147483648";
        QTest::newRow("too small") << "-2147483649";
        QTest::newRow("hex too large") << "$100000000";
        QTest::newRow("signed dollar hex") << "-$10";
        QTest::newRow("signed 0x hex") << "+0x1F";
        QTest::newRow("signed x hex") << "-x10";
        QTest::newRow("hex digit in decimal") << "12a";
        QTest::newRow("non-ASCII digit") << QString::fromUtf8("\xd9\xa3");
    }
    void rejected() {
        QFETCH(QString, text);
        QVERIFY(!inttext::parse(text).has_value());
    }

    void conversionErrorNamesTheText() {
        try {
            inttext::StrToInt(QStringLiteral("12x"));
            QFAIL("no exception");
        } catch (const Exception& e) {
            QCOMPARE(e.Message(), QStringLiteral("'12x' is not a valid integer value"));
        }
        QCOMPARE(inttext::StrToInt(QStringLiteral(" $10")), 16);
    }
};

QTEST_GUILESS_MAIN(TestIntText)
#include "TestIntText.moc"
