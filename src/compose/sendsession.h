#pragma once
// One SMTP session of the compose window: an immediate send of the message
// held in a mail control, or a delivery run of out-box files, all over one
// connection.
//
// Nothing is lost or sent twice. A message is in the OutBox before it goes
// (an immediate send stores it there first) and moves into Sent, synced,
// as soon as the server accepted it, before anything else is sent. Before
// its data ends, the OutBox record names it as in flight, so that after a
// crash the next run asks before sending it again (see DeliveryJournal).
// A failure stops the session at once (it disconnects); what was accepted
// is in Sent, the rest stays where it was (an immediate send that failed
// takes its message out of the OutBox again: its window still holds it).
//
// The owner hands the control's events to done(), failed() and
// transferred(). With the control's Blocking on, each operation finishes
// inside its call and the session takes the next step in a loop, so a run
// of any length needs no deeper stack than one message.
#include <QObject>
#include <QString>
#include <QStringList>

#include "compose/deliveryjournal.h"

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

  // Sends the message in the control, then the OutBox files alsoQueued
  // (messages the user chose to send again).
  void sendNow(const SendAccount& account, const QStringList& alsoQueued = {});
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
  // A problem after the server accepted the message of an immediate send
  // (its move into Sent failed, or a message sent after it failed); the
  // message is not sent again.
  QString storeProblem() const { return store_problem_; }
  // Where each accepted message now is, in Sent.
  QStringList sentFiles() const { return sent_files_; }
  int messageTotal() const { return int(files_.size()); }

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
  bool noteInFlight();
  void accepted();
  bool moveIntoSent(const QString& file);
  void settleInFlight(int code);
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
  QStringList files_;      // an immediate send's message comes first
  bool immediate_ = false;
  bool first_accepted_ = false;
  int current_ = 0;        // index of the message under way
  DeliveryJournal journal_;
  QString failure_;
  QString store_problem_;
  QStringList sent_files_;
};

}  // namespace compose
