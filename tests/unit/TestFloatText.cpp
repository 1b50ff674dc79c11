#include "text/FloatText.h"

#include <QTest>

#include <clocale>
#include <cmath>
#include <limits>

class TestFloatText : public QObject {
    Q_OBJECT
private slots:
    void fixed51_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("hundred") << 100.0 << "100.0";
        QTest::newRow("padded to five") << 97.3 << " 97.3";
        QTest::newRow("zero") << 0.0 << "  0.0";
        QTest::newRow("negative") << -12.5 << "-12.5";
        QTest::newRow("wider than five") << 1234.56 << "1234.6";
        QTest::newRow("rounds up") << 0.06 << "  0.1";
        QTest::newRow("carry into a new digit") << 99.96 << "100.0";
        QTest::newRow("exact tie goes to even") << 0.25 << "  0.2";
        QTest::newRow("binary value below the tie") << 0.35 << "  0.3";
        QTest::newRow("small negative keeps its sign") << -0.04 << " -0.0";
        QTest::newRow("large") << 1e20 << "100000000000000000000.0";
    }
    void fixed51() {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(floattext::fixed51(value, u'.'), text);
        QCOMPARE(floattext::fixed51(value, u','), QString(text).replace(u'.', u','));
    }

    void general15_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("one minute") << 1.0 / 1440 << "0.000694444444444444";
        QTest::newRow("ten minutes") << 10.0 / 1440 << "0.00694444444444444";
        QTest::newRow("one hour") << 1.0 / 24 << "0.0416666666666667";
        QTest::newRow("one") << 1.0 << "1";
        QTest::newRow("five seconds") << 5.0 / 86400 << "5.78703703703704E-5";
        QTest::newRow("one second") << 1.0 / 86400 << "1.15740740740741E-5";
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("negative zero") << -0.0 << "0";
        QTest::newRow("negative") << -2.5 << "-2.5";
        QTest::newRow("negative small") << -1.0 / 1440 << "-0.000694444444444444";
        QTest::newRow("negative scientific") << -1.5e-7 << "-1.5E-7";
        QTest::newRow("third") << 1.0 / 3 << "0.333333333333333";
        QTest::newRow("two thirds rounds up") << 2.0 / 3 << "0.666666666666667";
        QTest::newRow("trailing zeros of an integer kept") << 1500.0 << "1500";
        QTest::newRow("fraction") << 1234.5 << "1234.5";
        // The edges between fixed and scientific notation.
        QTest::newRow("smallest fixed") << 0.0001 << "0.0001";
        QTest::newRow("just below 0.0001") << 0.0000999 << "9.99E-5";
        QTest::newRow("rounds up to 0.0001") << 0.00009999999999999999 << "0.0001";
        QTest::newRow("15 digits") << 123456789012345.0 << "123456789012345";
        QTest::newRow("largest fixed") << 999999999999999.0 << "999999999999999";
        QTest::newRow("1E15") << 1e15 << "1E15";
        QTest::newRow("rounds up to 1E15") << 999999999999999.9 << "1E15";
        QTest::newRow("16 digits rounded") << 1234567890123456.0 << "1.23456789012346E15";
        QTest::newRow("carry into a new digit") << 9.999999999999999 << "10";
        QTest::newRow("1E20") << 1e20 << "1E20";
        QTest::newRow("small exponent") << 1.5e-7 << "1.5E-7";
        QTest::newRow("three-digit exponent") << 1e-300 << "1E-300";
        QTest::newRow("largest double") << std::numeric_limits<double>::max() << "1.79769313486232E308";
        QTest::newRow("smallest subnormal") << std::numeric_limits<double>::denorm_min() << "4.94065645841247E-324";
        QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << "NAN";
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << "INF";
        QTest::newRow("minus infinity") << -std::numeric_limits<double>::infinity() << "-INF";
    }
    void general15() {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(floattext::general15(value, u'.'), text);
        QCOMPARE(floattext::general15(value, u','), QString(text).replace(u'.', u','));
    }

    void parseAccepted_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<double>("value");
        QTest::newRow("integer") << "42" << QChar(u'.') << 42.0;
        QTest::newRow("point") << "1.5" << QChar(u'.') << 1.5;
        QTest::newRow("comma") << "1,5" << QChar(u',') << 1.5;
        QTest::newRow("blanks around") << "  -2.25  " << QChar(u'.') << -2.25;
        QTest::newRow("plus") << "+3" << QChar(u'.') << 3.0;
        QTest::newRow("no integer digits") << ".5" << QChar(u'.') << 0.5;
        QTest::newRow("no fraction digits") << "5." << QChar(u'.') << 5.0;
        QTest::newRow("leading zeros") << "007" << QChar(u'.') << 7.0;
        QTest::newRow("exponent") << "1e3" << QChar(u'.') << 1000.0;
        QTest::newRow("capital exponent, negative") << "1E-3" << QChar(u'.') << 0.001;
        QTest::newRow("exponent with plus") << "1.5e+2" << QChar(u'.') << 150.0;
        QTest::newRow("scientific with comma") << "5,78703703703704E-5" << QChar(u',') << 5.78703703703704e-5;
        QTest::newRow("negative zero") << "-0" << QChar(u'.') << 0.0;
        QTest::newRow("smallest subnormal") << "5e-324" << QChar(u'.') << std::numeric_limits<double>::denorm_min();
        QTest::newRow("largest double") << "1.7976931348623157e308" << QChar(u'.')
                                        << std::numeric_limits<double>::max();
    }
    void parseAccepted() {
        QFETCH(QString, text);
        QFETCH(QChar, separator);
        QFETCH(double, value);
        QCOMPARE(floattext::parseFloat(text, separator), std::optional<double>(value));
    }

    void parseRejected_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QChar>("separator");
        QTest::newRow("empty") << "" << QChar(u'.');
        QTest::newRow("blanks only") << "   " << QChar(u'.');
        QTest::newRow("comma when point expected") << "1,5" << QChar(u'.');
        QTest::newRow("point when comma expected") << "1.5" << QChar(u',');
        QTest::newRow("exponent without digits") << "1e" << QChar(u'.');
        QTest::newRow("exponent sign without digits") << "1e+" << QChar(u'.');
        QTest::newRow("two separators") << "1.2.3" << QChar(u'.');
        QTest::newRow("separator only") << "." << QChar(u'.');
        QTest::newRow("sign only") << "-" << QChar(u'.');
        QTest::newRow("two signs") << "+-1" << QChar(u'.');
        QTest::newRow("blank after sign") << "- 1" << QChar(u'.');
        QTest::newRow("blank inside") << "1 5" << QChar(u'.');
        QTest::newRow("blank before exponent") << "1.5 e3" << QChar(u'.');
        QTest::newRow("exponent without mantissa") << "e5" << QChar(u'.');
        QTest::newRow("fractional exponent") << "1e5.5" << QChar(u'.');
        QTest::newRow("hexadecimal") << "0x10" << QChar(u'.');
        QTest::newRow("infinity") << "inf" << QChar(u'.');
        QTest::newRow("nan") << "nan" << QChar(u'.');
        QTest::newRow("trailing garbage") << "1.5x" << QChar(u'.');
        QTest::newRow("unit after number") << "20ms" << QChar(u'.');
        QTest::newRow("non-ASCII digit") << QString::fromUtf8("\xd9\xa3") << QChar(u'.');
        QTest::newRow("too large") << "1e400" << QChar(u'.');
        QTest::newRow("too small") << "1e-400" << QChar(u'.');
    }
    void parseRejected() {
        QFETCH(QString, text);
        QFETCH(QChar, separator);
        QCOMPARE(floattext::parseFloat(text, separator), std::nullopt);
    }

    // What general15() writes, parseFloat() reads back to 15 significant digits.
    void roundTrip_data() {
        QTest::addColumn<double>("value");
        QTest::newRow("one minute") << 1.0 / 1440;
        QTest::newRow("one second") << 1.0 / 86400;
        QTest::newRow("one hour") << 1.0 / 24;
        QTest::newRow("ten") << 10.0;
        QTest::newRow("a date") << 46215.604166666664;
        QTest::newRow("negative third") << -1.0 / 3;
        QTest::newRow("large") << 6.02214076e23;
    }
    void roundTrip() {
        QFETCH(double, value);
        for (const QChar separator : {QChar(u'.'), QChar(u',')}) {
            const QString text = floattext::general15(value, separator);
            const auto back = floattext::parseFloat(text, separator);
            QVERIFY2(back.has_value(), qPrintable(text));
            QVERIFY2(std::fabs(*back - value) <= std::fabs(value) * 5e-15, qPrintable(text));
            QCOMPARE(floattext::general15(*back, separator), text);
        }
    }

    // A user's region must not leak in through the C library's number functions.
    void processLocaleIsIgnored() {
        const QByteArray previous = std::setlocale(LC_NUMERIC, nullptr);
        if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8"))
            QSKIP("no locale with a decimal comma installed");
        const QString fixed = floattext::fixed51(97.3, u'.');
        const QString general = floattext::general15(1.0 / 24, u'.');
        const auto parsed = floattext::parseFloat(QStringLiteral("1.5"), u'.');
        std::setlocale(LC_NUMERIC, previous.constData());
        QCOMPARE(fixed, " 97.3");
        QCOMPARE(general, "0.0416666666666667");
        QCOMPARE(parsed, std::optional<double>(1.5));
    }
};

QTEST_GUILESS_MAIN(TestFloatText)
#include "TestFloatText.moc"
