#include "store/mailstore.h"
#include "support/testroot.h"

#include <QTest>

class StoreTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void emptyFolderStartsAtTwo();
};

void StoreTest::emptyFolderStartsAtTwo() {
  TestRoot root;
  resetProgramState(root);
  MailStore& store = mailStore();
  QVERIFY(store.createStandardFolders());
  store.fillFolderTable({QStringLiteral("Inbox")});
  QCOMPARE(store.next_msg_name(QStringLiteral("Inbox")), QStringLiteral("00000002.msg"));
}

QTEST_GUILESS_MAIN(StoreTest)
#include "tst_store.moc"
