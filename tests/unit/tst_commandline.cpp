// The command line: the program's own options among Qt's.
#include "shell/commandline.h"

#include <QTest>

using Action = CommandLine::Action;
Q_DECLARE_METATYPE(CommandLine::Action)

class CommandLineTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void parse_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<Action>("action");
    QTest::addColumn<bool>("splash");
    QTest::newRow("nothing") << QStringList{} << Action::Start << true;
    QTest::newRow("no splash") << QStringList{"--no-splash"} << Action::Start << false;
    QTest::newRow("Qt option and its value") << QStringList{"-platform", "offscreen", "--no-splash"} << Action::Start << false;
    QTest::newRow("Qt option with =") << QStringList{"--style=fusion"} << Action::Start << true;
    QTest::newRow("Qt value that looks like ours") << QStringList{"-qwindowtitle", "--check"} << Action::Start << true;
    QTest::newRow("Qt switch") << QStringList{"-reverse", "--check"} << Action::Check << false;
    QTest::newRow("version wins") << QStringList{"--no-splash", "-v"} << Action::Version << false;
    QTest::newRow("help") << QStringList{"-style", "fusion", "--help"} << Action::Help << true;
    QTest::newRow("unknown option") << QStringList{"--splash-off"} << Action::Error << true;
    QTest::newRow("stray argument") << QStringList{"mail.msg"} << Action::Error << true;
    QTest::newRow("Qt option without its value") << QStringList{"--no-splash", "-platform"} << Action::Start << false;
  }

  void parse() {
    QFETCH(QStringList, args);
    QFETCH(Action, action);
    QFETCH(bool, splash);
    const CommandLine line = parseCommandLine(args);
    QCOMPARE(line.action, action);
    QCOMPARE(line.splash, splash);
    QCOMPARE(line.error.isEmpty(), action != Action::Error);
    if (action == Action::Error)
      QVERIFY(line.error.contains(args.last()));
  }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "tst_commandline.moc"
