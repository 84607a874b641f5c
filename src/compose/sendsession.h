#pragma once
// One SMTP session of the compose window: an immediate send of the message
// held in a mail control, or a delivery run of out-box files, all over one
// connection.
//
// Nothing is lost or sent twice: the copy of an immediate send goes into
// Sent only after the server accepted the message, and each out-box file
// moves into Sent only after the server accepted it. A failure stops the
// session at once (it disconnects); what was accepted is in Sent, the rest
// stays where it was.
//
// The owner hands the control's events to done(), failed() and
// transferred(). With the control's Blocking on, each operation finishes
// inside its call and the session takes the next step in a loop, so a run
// of any length needs no deeper stack than one message.
#include <QObject>
#include <QString>
#include <QStringList>

class MailControl;

namespace compose {

struct SendAccount {
  QString host;       // the SMTP server setting
  QString user;       // login; empty: no AUTH
  QString password;
  QString sender;     // the envelope sender, a mailbox text
  bool allowPlainLogin = false;  // the user allowed a password without encryption
};

class SendSession : public QObject {
  Q_OBJECT
 public:
  enum class State { Idle, Connecting, Sending, Disconnecting };
  enum class Outcome { None, Sent, Failed };

  explicit SendSession(MailControl* control, QObject* parent = nullptr);

  // Sends the message in the control; on acceptance a copy goes to
  // sentPath (a fresh name in Sent is asked for when empty).
  void sendNow(const SendAccount& account, const QString& sentPath = {});
  // Sends each file in order, moving each one into Sent once accepted.
  void deliver(const SendAccount& account, const QStringList& files);

  // The control's events.
  void done();
  void failed(int code, const QString& message);
  void transferred(qint64 bytes, qint64 total);

  State state() const { return state_; }
  bool isActive() const { return state_ != State::Idle; }
  Outcome outcome() const { return outcome_; }
  // Why the session stopped, for the user; empty after success.
  QString failure() const { return failure_; }
  // A problem after the server accepted a message (its copy or its move
  // into Sent failed); the message is not sent again.
  QString storeProblem() const { return store_problem_; }
  // Where each accepted message now is, in Sent.
  QStringList sentFiles() const { return sent_files_; }
  int messageTotal() const { return files_.isEmpty() ? 1 : int(files_.size()); }

  // "Sending message 2 of 3", with the share sent of a large message.
  static QString progressText(int number, int total, qint64 bytes, qint64 bytesTotal);

 Q_SIGNALS:
  void progress(const QString& text);
  void finished();

 private:
  enum class Step { None, Connect, Send, Disconnect };
  void begin(const SendAccount& account);
  void pump();
  void startStep(Step step);
  void stepDone();
  bool loadNextFile();
  void accepted();
  void keepSentCopy();
  bool moveIntoSent(const QString& file);
  void stop(const QString& why);
  void end();
  QString sentName();

  MailControl* control_;
  SendAccount account_;
  State state_ = State::Idle;
  Outcome outcome_ = Outcome::None;
  Step next_ = Step::None;
  bool pumping_ = false;
  bool step_failed_ = false;
  QStringList files_;      // empty for an immediate send
  int current_ = 0;        // index of the message under way
  QString sent_path_;
  QString failure_;
  QString store_problem_;
  QStringList sent_files_;
};

}  // namespace compose
