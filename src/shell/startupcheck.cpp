#include "shell/startupcheck.h"

#include "language/languagestate.h"
#include "platform/paths.h"
#include "platform/prompter.h"
#include "shell/mailform.h"
#include "shell/picturebutton.h"

#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QImageReader>
#include <QTextStream>
#include <QTimer>

namespace {

// Writes down every message instead of showing it; answers nothing.
class RecordingPrompter : public platform::Prompter {
 public:
  QStringList messages;

  void message(const QString& text, const QString&, platform::MessageIcon) override { messages += text; }
  std::optional<QString> input(const QString&, const QString&, const QString&, bool) override { return {}; }
  bool question(const QString& text, const QString&) override {
    messages += text;
    return false;
  }
  QString openFileName(const QString&, const QString&) override { return {}; }
  QString saveFileName(const QString&, const QString&, const QString&) override { return {}; }
};

// Closes every modal dialog as soon as it is up, writing down its title.
class DialogCloser : public QObject {
 public:
  QStringList closed;

  DialogCloser() {
    connect(&timer_, &QTimer::timeout, this, [this] {
      if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
        closed += dialog->windowTitle();
        dialog->reject();
      }
    });
    timer_.start(20);
  }

 private:
  QTimer timer_;
};

int countTableKeys() {
  int keys = 0;
  for (const TranslitRow& row : language().translit_table)
    keys += row[0].has_value() ? 1 : 0;
  return keys;
}

struct Report {
  QTextStream& out;
  QStringList problems;

  void line(const QString& what, const QString& found) { out << what << ": " << found << '\n'; }
  void need(bool ok, const QString& what) {
    if (!ok)
      problems += what;
  }
};

void reportPicture(Report& report, const QString& label, const QString& name) {
  const QString path = platform::joinPath(platform::programFolder(), name);
  // The picture's own header names its size; decoding it all would only
  // slow the check down.
  QImageReader reader(path);
  const QSize size = reader.canRead() ? reader.size() : QSize();
  const bool found = size.isValid() && !size.isEmpty();
  report.line(label, found ? QStringLiteral("%1 (%2x%3)").arg(path).arg(size.width()).arg(size.height())
                           : QStringLiteral("%1 MISSING").arg(path));
  report.need(found, path);
}

void reportAssets(Report& report, const MailForm& form) {
  const QString folder = platform::programFolder();
  report.line(QStringLiteral("data folder"), folder);

  const QString table = platform::joinPath(folder, QStringLiteral("neltex.csv"));
  const int keys = countTableKeys();
  report.line(QStringLiteral("table"), QStringLiteral("%1 (%2 keys%3)")
                                           .arg(table)
                                           .arg(keys)
                                           .arg(language().table_complete ? QString() : QStringLiteral(", INCOMPLETE")));
  report.need(keys > 0 && language().table_complete, table);

  QStringList fonts;
  for (const QString& family : {kSinhalaFont, kTamilFont}) {
    const bool found = QFontDatabase::hasFamily(family);
    fonts += found ? family : family + QStringLiteral(" MISSING");
    report.need(found, QStringLiteral("font ") + family);
  }
  report.line(QStringLiteral("fonts"), fonts.join(QStringLiteral(", ")));
  for (const QString& file : {kSinhalaFontFile, kTamilFontFile}) {
    const QString path = platform::joinPath(platform::fontsFolder(), file);
    report.need(QFileInfo::exists(path), path);
  }
  report.line(QStringLiteral("font files"), platform::fontsFolder());

  reportPicture(report, QStringLiteral("Sinhala keyboard"), QStringLiteral("Nelisin.gif"));
  reportPicture(report, QStringLiteral("Tamil keyboard"), QStringLiteral("Velan.gif"));
  reportPicture(report, QStringLiteral("splash"), QStringLiteral("splash.png"));

  int icons = 0;
  for (const PictureButton* button : form.pictbut)
    icons += button && !button->pixmap().isNull() ? 1 : 0;
  report.line(QStringLiteral("toolbar icons"), QStringLiteral("%1 of %2").arg(icons).arg(form.pictbut.size()));
  report.need(icons == int(form.pictbut.size()), QStringLiteral("toolbar icons"));
}

}  // namespace

int runStartupCheck(const QElapsedTimer& sinceStart, QTextStream& out) {
  RecordingPrompter prompter;
  platform::setPrompter(&prompter);
  DialogCloser closer;

  MailForm form;
  form.Form_Load(false);
  QCoreApplication::processEvents();
  const qint64 shownMs = sinceStart.elapsed();

  Report report{out, {}};
  reportAssets(report, form);
  report.line(QStringLiteral("main window shown"),
              QStringLiteral("%1 ms after start%2").arg(shownMs).arg(form.isVisible() ? QString() : QStringLiteral(", NOT VISIBLE")));
  report.need(form.isVisible(), QStringLiteral("main window"));
  for (const QString& title : closer.closed)
    report.line(QStringLiteral("dialog closed unanswered"), title);
  for (const QString& text : prompter.messages)
    report.line(QStringLiteral("message"), text);
  for (const QString& problem : report.problems)
    report.line(QStringLiteral("missing"), problem);
  const bool ok = report.problems.isEmpty() && prompter.messages.isEmpty();
  out << (ok ? "ok\n" : "FAILED\n");
  out.flush();
  platform::setPrompter(nullptr);
  return ok ? 0 : 1;
}
