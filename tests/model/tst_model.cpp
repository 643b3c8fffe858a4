#include "ActionType.h"
#include "ShortcutItem.h"
#include "Translations.h"

#include <QJsonDocument>
#include <QJsonArray>
#include <QJsonObject>
#include <QtTest>

using namespace zl;

namespace {

const char *kValid = R"({"id":"6F1C2B3A-1D2E-4F5A-8B9C-0D1E2F3A4B5C","name":"Email","isEnabled":true,)"
                     R"("actionType":"pasteText","payload":"hi","keyCode":14,"modifiers":2816})";

// kValid with one key replaced (or removed, when value is empty).
QByteArray withKey(const char *key, const char *json)
{
    QJsonObject object = QJsonDocument::fromJson(kValid).object();
    if (*json == '\0')
        object.remove(QLatin1StringView(key));
    else
        object.insert(QLatin1StringView(key),
                      QJsonDocument::fromJson(QByteArray("[") + json + "]").array().at(0));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

class TestModel : public QObject
{
    Q_OBJECT

private slots:
    void decodeObject_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("accepted");

        QTest::newRow("valid") << QByteArray(kValid) << true;
        QTest::newRow("max uint32") << withKey("keyCode", "4294967295") << true;
        QTest::newRow("whole number written as float") << withKey("modifiers", "256.0") << true;
        QTest::newRow("id with braces") << withKey("id", R"("{6F1C2B3A-1D2E-4F5A-8B9C-0D1E2F3A4B5C}")") << false;
        QTest::newRow("id, line feed") << withKey("id", R"("6F1C2B3A-1D2E-4F5A-8B9C-0D1E2F3A4B5C\n")") << false;
        QTest::newRow("missing modifiers") << withKey("modifiers", "") << false;
        QTest::newRow("negative key code") << withKey("keyCode", "-1") << false;
        QTest::newRow("key code above uint32") << withKey("keyCode", "4294967296") << false;
        QTest::newRow("fractional modifiers") << withKey("modifiers", "256.5") << false;
        QTest::newRow("key code as string") << withKey("keyCode", R"("14")") << false;
        QTest::newRow("action in other case") << withKey("actionType", R"("PasteText")") << false;
        QTest::newRow("one bad of two") << QByteArray(kValid) + "," + withKey("actionType", R"("sing")") << false;
    }

    void decodeObject()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, accepted);
        QString error;
        const auto list = ShortcutItem::decodeList("[" + json + "]", &error);
        QCOMPARE(list.has_value(), accepted);
        QCOMPARE(error.isEmpty(), accepted);
    }

    void roundTripKeepsEveryFieldAndWritesUpperCaseId()
    {
        QString payload = QStringLiteral("a\r\nb\t\\ \u2028 \U0001F600 \x01\x1f\x7f");
        payload += QChar(0xD800); // a lone surrogate, as a broken paste may leave it
        const ShortcutItem item{QUuid::createUuid(), QStringLiteral("Grüße \"%s%n\"\n"), false, ActionType::OpenURLs,
                                payload, 4294967295u, 6912};
        const QByteArray bytes = ShortcutItem::encodeList({item});
        QVERIFY(!bytes.contains('\n'));
        // Any standard reader must get the texts back unchanged, not only our own decoder.
        const QJsonObject read = QJsonDocument::fromJson(bytes).array().at(0).toObject();
        QCOMPARE(read.value(QLatin1StringView("payload")).toString(), payload);
        QCOMPARE(read.value(QLatin1StringView("name")).toString(), item.name);
        // Upper-case id, keys in declaration order, unsorted: the stored bytes compare with other writers.
        const ShortcutItem plain{QUuid(QStringLiteral("6f1c2b3a-1d2e-4f5a-8b9c-0d1e2f3a4b5c")), QStringLiteral("Email"),
                                 true, ActionType::PasteText, QStringLiteral("hi"), 14, 2816};
        QCOMPARE(ShortcutItem::encodeList({plain}), "[" + QByteArray(kValid) + "]");
        QCOMPARE(ShortcutItem::decodeList(bytes, nullptr), std::optional(QList{item}));

        // The stored names of the actions, each read back to its action.
        QStringList raws;
        for (ActionType type : ActionType::allCases()) {
            raws << type.rawValue();
            QCOMPARE(ActionType::fromRawValue(type.rawValue()), std::optional<ActionType>(type));
        }
        QCOMPARE(raws,
                 (QStringList{"pasteText", "pasteTextAndEnter", "runCommand", "launchApp", "openURL", "openURLs"}));
    }

    void urls_data()
    {
        QTest::addColumn<QString>("payload");
        QTest::addColumn<QString>("expected"); // the urls, joined by spaces

        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("only blank lines") << QStringLiteral(" \n\t\r\n\u2028") << QString();
        QTest::newRow("every line break") << QStringLiteral("a.org\u000Bb.org\u000Cc.org\u0085d.org\u2029e.org")
                                          << "https://a.org https://b.org https://c.org https://d.org https://e.org";
        QTest::newRow("trailing spaces and CRLF") << QStringLiteral("https://a.org  \r\n https://b.org\u00A0\r\n")
                                                  << "https://a.org https://b.org";
        QTest::newRow("custom scheme untouched") << QStringLiteral("x-foo:bar") << "x-foo:bar";
        QTest::newRow("host with port") << QStringLiteral("example.com:8443") << "https://example.com:8443";
        QTest::newRow("space inside is no url") << QStringLiteral("not a url\nb.org") << "https://b.org";
    }

    void urls()
    {
        QFETCH(QString, payload);
        QFETCH(QString, expected);
        ShortcutItem item;
        item.payload = payload;
        QStringList actual;
        for (const QUrl &url : item.urls())
            actual << url.toString();
        QCOMPARE(actual.join(u' '), expected);
    }

    // Qt's own texts (dialog buttons) follow the language; ours are checked in tst_menus.
    void languageSwitchReachesQtTexts()
    {
        Translations translations;
        QVERIFY(translations.setLanguage(QStringLiteral("de_DE")));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Abbrechen"));
        translations.setLanguage(QStringLiteral("en"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
    }
};

QTEST_GUILESS_MAIN(TestModel)
#include "tst_model.moc"
