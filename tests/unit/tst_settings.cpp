// The digit encoding of settings and loading them from the store.
#include "settings/address.h"
#include "settings/crypt.h"
#include "settings/settingsstore.h"
#include "support/testroot.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace {

// A store that hands back whatever the test put in, as text.
class MapBackend : public SettingsBackend {
 public:
  QMap<QString, QString> values;
  QString query_value(const QString& name) override { return values.value(name); }
  void create_key() override {}
  bool set_key_value(const QString& name, const QString& value) override {
    values[name] = value;
    return true;
  }
};

void storeAll(MapBackend& backend) {
  const QStringList plain = {QStringLiteral("me@example.org"), QStringLiteral("Me"),
                             QStringLiteral("pop.example.org"), QStringLiteral("me"),
                             QStringLiteral("s3cret"), QStringLiteral("smtp.example.org")};
  for (int i = 0; i < kSettingNames.size(); ++i)
    backend.values[kSettingNames[i]] = encode_value(plain[i]);
}

}  // namespace

class SettingsTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void decoding_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<std::optional<QString>>("value");  // none: refused as damaged
    QTest::newRow("three digits a character, last first") << "099098097" << std::optional<QString>(QStringLiteral("abc"));
    QTest::newRow("one character") << "065" << std::optional<QString>(QStringLiteral("A"));
    QTest::newRow("empty") << "" << std::optional<QString>(QString());
    // A group of non-digits reads as 0; a group reading stops at the first non-digit.
    QTest::newRow("non-digits") << "xyz" << std::optional<QString>(QString(QChar(0)));
    QTest::newRow("digit then non-digits") << "6x5" << std::optional<QString>(QString(QChar(6)));
    QTest::newRow("a digit too many") << "0990" << std::optional<QString>();
    QTest::newRow("too short") << "09" << std::optional<QString>();
    QTest::newRow("above 255 first") << "256065" << std::optional<QString>();
    QTest::newRow("999") << "999" << std::optional<QString>();
  }

  void decoding() {
    QFETCH(QString, stored);
    QFETCH(std::optional<QString>, value);
    QCOMPARE(decode_value(stored), value);
    if (value && !stored.contains(QLatin1Char('x')))
      QCOMPARE(encode_value(*value), stored);
  }

  void everyByteSurvives() {
    QString all;
    for (int c = 0; c < 256; ++c)
      all += QChar(c);
    const QString encoded = encode_value(all);
    QCOMPARE(encoded.size(), 256 * 3);
    QCOMPARE(encoded.left(3), QStringLiteral("255"));
    QCOMPARE(decode_value(encoded), all);
  }

  void missingKeyLoadsNothing() {
    MapBackend empty;
    TovelSettings s;
    QVERIFY(!loadSettings(s, empty));
    QVERIFY(s.user_email.isEmpty() && s.smtp_host.isEmpty() && s.pop_password.isEmpty());
  }

  void fiveOfSixLoadButReportIncomplete() {
    MapBackend backend;
    storeAll(backend);
    backend.values.remove(QStringLiteral("SMTPHOST"));
    TovelSettings s;
    QVERIFY(!loadSettings(s, backend));
    QCOMPARE(s.user_email, QStringLiteral("me@example.org"));
    QCOMPARE(s.pop_password, QStringLiteral("s3cret"));
    QVERIFY(s.smtp_host.isEmpty());

    // A missing value keeps what was there before.
    s.smtp_host = QStringLiteral("kept");
    QVERIFY(loadSettings(s, backend));
    QCOMPARE(s.smtp_host, QStringLiteral("kept"));
  }

  void damagedValueStopsTheLoadThere() {
    MapBackend backend;
    storeAll(backend);
    backend.values[QStringLiteral("POPHOST")] = QStringLiteral("1234");
    TovelSettings s;
    s.pop_user = QStringLiteral("old");
    QVERIFY(!loadSettings(s, backend));
    QCOMPARE(s.user_email, QStringLiteral("me@example.org"));  // before the bad value
    QCOMPARE(s.user_name, QStringLiteral("Me"));
    QVERIFY(s.pop_host.isEmpty());
    QCOMPARE(s.pop_user, QStringLiteral("old"));  // after it: untouched

    backend.values[QStringLiteral("POPHOST")] = QStringLiteral("300065");
    QVERIFY(!loadSettings(s, backend));
  }

  void plainLoginIsOptionalAndOffUnlessOne() {
    // Six values are a complete store; a damaged or unknown seventh reads as off.
    MapBackend backend;
    storeAll(backend);
    for (const QString& stored : {QString(), QStringLiteral("x9"), encode_value(QStringLiteral("yes"))}) {
      backend.values[kPlainLoginName] = stored;
      TovelSettings s;
      s.allow_plain_login = true;
      QVERIFY(loadSettings(s, backend));
      QVERIFY(!s.allow_plain_login);
    }
  }

  void terminatorHandlingKeepsEveryCharacter() {
    QCOMPARE(drop_terminator(QStringLiteral("065") + QChar(0)), QStringLiteral("065"));
    QCOMPARE(drop_terminator(QStringLiteral("065")), QStringLiteral("065"));
    MapBackend backend;
    storeAll(backend);
    backend.values[QStringLiteral("USERNAME")] = encode_value(QStringLiteral("Me")) + QChar(0);
    TovelSettings s;
    QVERIFY(loadSettings(s, backend));
    QCOMPARE(s.user_name, QStringLiteral("Me"));
    QCOMPARE(s.smtp_host, QStringLiteral("smtp.example.org"));
  }

  void iniFileIsPrivateAndRoundTrips() {
    TestRoot root;
    QSettingsBackend backend(root.settingsFile());
    TovelSettings s;
    s.user_email = QStringLiteral("a@b.c");
    s.user_name = QStringLiteral("  \u00C5nanda ");  // Latin-1 and blanks kept
    storeSettings(backend, {QStringLiteral("USEREMAIL"), QStringLiteral("USERNAME")}, s);
    QVERIFY(QFile::exists(root.settingsFile()));
    QCOMPARE(QFileInfo(root.settingsFile()).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup),
             QFileDevice::Permissions());
    QCOMPARE(backend.query_value(QStringLiteral("USEREMAIL")), encode_value(QStringLiteral("a@b.c")));
    TovelSettings loaded;
    QVERIFY(!loadSettings(loaded, backend));  // four still missing
    QCOMPARE(loaded.user_name, s.user_name);
    QVERIFY(backend.query_value(QStringLiteral("POPHOST")).isEmpty());
  }

  void addressCheck() {
    QVERIFY(valid_address(QStringLiteral("a@b.c")));
    QVERIFY(valid_address(QStringLiteral("first.last@host")));  // "." before "@" is enough
    QVERIFY(valid_address(QStringLiteral("a@b.c, d@e.f")));
    QVERIFY(!valid_address(QStringLiteral("@b.c")));
    QVERIFY(!valid_address(QStringLiteral(".a@b")));
    QVERIFY(!valid_address(QStringLiteral("ab.c")));
    QVERIFY(!valid_address(QStringLiteral("a@bc")));
    QVERIFY(!valid_address(QString()));
  }
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "tst_settings.moc"
