#pragma once
// The get-mail session: every message waiting in the POP3 account goes into
// the in-box, one file each, and with host-delete on is deleted on the
// server once its file is safely stored.
//
// A small state machine over the main window's mail control. Each finished
// control operation (done()) records what finished and arms the one-shot
// timer; its tick (tick()) starts the next step outside the control's
// event. With Blocking on every operation ends inside its call and the
// session runs done() itself. Any failure ends the session with a
// disconnect, so GetMail works again at once.
//
// When the server gives unique ids (UIDL), a record in the mailbox root
// keeps the ids of what is already stored: such a message is never fetched
// again; with host-delete on it is only deleted on the server. Each
// message is noted, then stored, then deleted, so a session cut off at any
// point loses nothing and leaves at most a delete for the next one.
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

class MailControl;

namespace retrieval {

class UidlRecord;

class GetMailSession : public QObject {
  Q_OBJECT
 public:
  // What the control is doing (the numbers are those of the window's
  // mail_state).
  enum class State { Idle = 0, Getting = 1, Connecting = 7, Disconnecting = 9, Deleting = 10 };
  // What the timer does next (the window's timer_step).
  enum class Step { None = 0, Disconnect = 8, DeleteOnServer = 10, GetNext = 13 };

  // What the session needs of its window.
  struct Window {
    std::function<bool()> hostDelete;  // asked when each message has been stored
    std::function<void(bool)> setGetMailEnabled;
    std::function<void()> sessionEnded;  // after the last disconnect: show the new mail
  };

  GetMailSession(MailControl* control, Window window, QObject* parent = nullptr);
  ~GetMailSession() override;

  // GetMail: starts a session, or ends one still open ("Try again Please").
  void start();
  // The same, but fetching every message on the server, stored before or
  // not.
  void startFetchingAll();
  // The control finished an asynchronous operation (its Done).
  void done();
  // The one-shot timer fired.
  void tick();
  // The control reported a failure (its AsyncError): says so and ends the
  // session.
  void failed(int code, const QString& message);

  // The percentage shown for a transfer: "25%", or "0" when the total is
  // not known.
  static QString progressText(qint64 done, qint64 total);

  State state() const { return state_; }
  Step nextStep() const { return step_; }
  int currentMessage() const { return current_msg_; }
  bool isActive() const { return state_ != State::Idle; }
  QTimer* timer() const { return timer_; }

 private:
  void begin(bool everything);
  void connected();
  // Reads the account's UIDL record and plans the fetch around it. False
  // (the user told why) when the record cannot be brought up to date.
  bool openRecord();
  bool alreadyStored(int n) const;
  void startNextMessage();
  QString storedSoFar() const;
  void messageReceived();
  // Store first, delete on the server second: each its own step.
  bool storeMessage(QString* path);
  void messageStored(const QString& path);
  void messageDeleted();
  void disconnected();

  Step nextMessageOrDisconnect() const;
  void schedule(Step step);
  void disconnect(State then);
  // Sends QUIT, once what this session stored is safe on the disk.
  void quitServer(State then = State::Disconnecting);
  void endAfterFailure();
  // With Blocking on the operation just started has finished already.
  void finishedIfBlocking();

  MailControl* control_;
  Window window_;
  QTimer* timer_;
  State state_ = State::Idle;
  Step step_ = Step::None;
  int current_msg_ = 0;
  int stored_ = 0;  // messages stored by this session
  bool fetch_all_ = false;
  std::unique_ptr<UidlRecord> record_;  // none when the server gives no ids
  bool timer_busy_ = false;
  // Done events still owed by disconnects of abandoned sessions; they must
  // not be taken for a step of the next session.
  int stale_dones_ = 0;
};

}  // namespace retrieval
