// The byte mapping between the document's bytes and the editor's text.
#include <QRandomGenerator>
#include <QTest>

#include <string>

#include "editor/document/byte_codec.h"

using namespace std::string_literals;

Q_DECLARE_METATYPE(std::string)

namespace {

QString Escapes(std::initializer_list<int> bytes)
{
    QString s;
    for (int b : bytes) s += QChar(char16_t(0xF700 + b));
    return s;
}

} // namespace

class ByteCodecTest : public QObject {
    Q_OBJECT

private slots:
    // clang-format off
    void mapping_data()
    {
        QTest::addColumn<std::string>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("ascii with breaks") << "ab\r\nc\td"s << QStringLiteral("ab\r\nc\td");
        QTest::newRow("two-byte") << "\xC3\xA9"s << QStringLiteral("\u00E9");
        QTest::newRow("no-break space") << "\xC2\xA0"s << QStringLiteral("\u00A0");
        QTest::newRow("three-byte") << "\xE2\x82\xAC"s << QStringLiteral("\u20AC");
        QTest::newRow("four-byte") << "\xF0\x9F\x98\x80"s << QString::fromUcs4(U"\U0001F600");
        QTest::newRow("line separator stays") << "\xE2\x80\xA8"s << QStringLiteral("\u2028");
        QTest::newRow("just below the escapes") << "\xEF\x9D\xBF"s << QStringLiteral("\uF77F");
        QTest::newRow("lone high byte") << "\xFF"s << Escapes({0xFF});
        QTest::newRow("lone continuation")
            << "a\x80z"s << (QStringLiteral("a") + Escapes({0x80}) + QStringLiteral("z"));
        QTest::newRow("truncated two-byte") << "\xC3"s << Escapes({0xC3});
        QTest::newRow("truncated three-byte") << "\xE2\x82x"s << (Escapes({0xE2, 0x82}) + QStringLiteral("x"));
        QTest::newRow("overlong slash") << "\xC0\xAF"s << Escapes({0xC0, 0xAF});
        QTest::newRow("overlong three-byte") << "\xE0\x80\x80"s << Escapes({0xE0, 0x80, 0x80});
        QTest::newRow("surrogate") << "\xED\xA0\x80"s << Escapes({0xED, 0xA0, 0x80});
        QTest::newRow("beyond U+10FFFF") << "\xF4\x90\x80\x80"s << Escapes({0xF4, 0x90, 0x80, 0x80});
        QTest::newRow("paragraph separator") << "\xE2\x80\xA9"s << Escapes({0xE2, 0x80, 0xA9});
        QTest::newRow("U+FDD0") << "\xEF\xB7\x90"s << Escapes({0xEF, 0xB7, 0x90});
        QTest::newRow("U+FDD1") << "\xEF\xB7\x91"s << Escapes({0xEF, 0xB7, 0x91});
        QTest::newRow("first escape code point") << "\xEF\x9E\x80"s << Escapes({0xEF, 0x9E, 0x80});
        QTest::newRow("last escape code point") << "\xEF\x9F\xBF"s << Escapes({0xEF, 0x9F, 0xBF});
    }
    // clang-format on

    void mapping()
    {
        QFETCH(std::string, bytes);
        QFETCH(QString, text);
        QCOMPARE(mus::BytesToText(bytes), text);
        QCOMPARE(mus::TextToBytes(text), bytes);
        QCOMPARE(mus::ByteLength(text), static_cast<std::int64_t>(bytes.size()));
    }

    void everyByteValueSurvives()
    {
        std::string all;
        for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
        // And every byte after every lead byte, which covers each kind of
        // broken and each kind of valid two-byte sequence.
        for (int lead = 0xC0; lead < 0x100; ++lead) {
            for (int b = 0; b < 256; ++b) {
                all += static_cast<char>(lead);
                all += static_cast<char>(b);
            }
        }
        const QString text = mus::BytesToText(all);
        QCOMPARE(mus::TextToBytes(text), all);
        QCOMPARE(mus::ByteLength(text), static_cast<std::int64_t>(all.size()));
        for (QChar c : text) {
            QVERIFY(c != QChar(0x2029) && c != QChar(0xFDD0) && c != QChar(0xFDD1));
        }
    }

    void randomBytesSurvive()
    {
        QRandomGenerator random(20240501);
        for (int round = 0; round < 5000; ++round) {
            std::string bytes(random.bounded(0, 48), '\0');
            for (char& c : bytes) {
                // Mostly bytes of multi-byte sequences, where the mistakes are.
                const int kind = random.bounded(4);
                c = static_cast<char>(kind == 0 ? random.bounded(0x80) : 0x80 + random.bounded(0x80));
            }
            const QString text = mus::BytesToText(bytes);
            QCOMPARE(mus::TextToBytes(text), bytes);
            QCOMPARE(mus::ByteLength(text), static_cast<std::int64_t>(bytes.size()));
        }
    }

    void textOfOtherOriginIsWrittenAsUtf8()
    {
        // A lone surrogate cannot be written as UTF-8; it becomes U+FFFD.
        const QString text = QStringLiteral("a") + QChar(char16_t(0xD800)) + QStringLiteral("b");
        QCOMPARE(mus::TextToBytes(text), "a\xEF\xBF\xBD"
                                         "b"s);
        QCOMPARE(mus::ByteLength(text), 5);
    }
};

QTEST_APPLESS_MAIN(ByteCodecTest)
#include "byte_codec_test.moc"
