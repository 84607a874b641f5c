#pragma once
// The compose window: recipients, subject, body, attachments and their
// encoding, the Sinhala and Tamil typing buttons and the menus. It carries
// its own mail control, Mail1, which holds the message being built. There is
// one shared window: newMessage() loads it on first reference and hands out
// the same one until it is unloaded.
#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <array>
#include <functional>

#include "compose/attachmentrules.h"
#include "compose/sendsession.h"
#include "compose/unicodetyping.h"
#include "maillib/mailcontrol.h"

class TranslitInput;

class NewMessage : public QMainWindow {
  Q_OBJECT

 public:
  explicit NewMessage(QWidget* parent = nullptr);
  ~NewMessage() override;

  // ----- controls
  MailControl* Mail1 = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label4 = nullptr;
  QLineEdit* txtTo = nullptr;
  QLineEdit* txtSubject = nullptr;
  QLineEdit* txtCC = nullptr;
  QLineEdit* txtBCC = nullptr;
  QTextEdit* txtBody = nullptr;
  QPushButton* addAttach = nullptr;
  QComboBox* cmbAttachments = nullptr;
  QGroupBox* Frame1 = nullptr;
  QRadioButton* optBase64 = nullptr;
  QRadioButton* optQuotedPrintable = nullptr;
  QRadioButton* optUU = nullptr;
  QRadioButton* optBinhex40 = nullptr;
  QPushButton* Send = nullptr;
  QPushButton* Cancel = nullptr;
  QPushButton* Deliver = nullptr;
  QPushButton* Refresh = nullptr;
  QFrame* tovelbar = nullptr;
  QPushButton* statbar = nullptr;
  QComboBox* forwardlist = nullptr;   // not shown
  QListWidget* DeliveryList = nullptr;  // not shown
  QListWidget* List1 = nullptr;
  QFrame* Line1 = nullptr;
  QFrame* Line2 = nullptr;
  QPushButton* Engli_us = nullptr;
  QPushButton* Tamil_ph = nullptr;
  QPushButton* Sin_wijey = nullptr;
  QPushButton* sin_ph = nullptr;
  QPushButton* sh_kbd = nullptr;
  std::array<QPushButton*, 11> keyfunc{};  // 7 and 8 do not exist
  QPushButton* xfont = nullptr;
  std::array<QPushButton*, 2> fsize{};
  QPushButton* Keymap = nullptr;

  // ----- menus
  QMenu* mnuFile = nullptr;
  QAction* mnuOpen = nullptr;
  QAction* mnuSave = nullptr;
  QAction* mnuSaveAs = nullptr;
  QAction* mnuExit = nullptr;
  QMenu* mnuEdit = nullptr;
  QAction* mnuCut = nullptr;
  QAction* mnuCopy = nullptr;
  QAction* mnuPaste = nullptr;
  QAction* mnuDelete = nullptr;
  QAction* mnuSelAll = nullptr;
  QMenu* mnuInsert = nullptr;
  QAction* mnudateTime = nullptr;
  QAction* mnuInsertFile = nullptr;
  QMenu* mnuSearch = nullptr;
  QAction* mnuFind = nullptr;
  QAction* mnuFindnext = nullptr;
  QMenu* mnuAttach = nullptr;
  QAction* mnuSinhalaTag = nullptr;
  QAction* mnuTamilTag = nullptr;
  QAction* mnuSinhalaAttach = nullptr;
  QAction* mnuTamilAttach = nullptr;

  // ----- window state
  int send_state = 0;

  // ----- life cycle (newmessage.cpp)
  void Form_Load();
  void Form_Activate();
  void Form_Resize();
  // Discards the window and the message in it without asking: the shared
  // reference is cleared at once (the next newMessage() loads a fresh
  // window) and the window itself is destroyed once control returns to the
  // event loop, so a handler of this window may call it.
  void Unload();
  // True when closing would lose something typed or attached.
  bool hasUnsentWork() const;
  // Asks before that is discarded; true when the window may close.
  bool confirmDiscard();
  void Cancel_Click();
  void mnuExit_Click();
  void Refresh_Click();
  // The body as plain text: font codes 0..255 as they were typed, "\n"
  // between lines.
  QString bodyText() const;
  // Replaces the body; CR LF, CR and LF each make one line break.
  void setBodyText(const QString& text);
  // Empties the attachment list and the message in Mail1 (From stays), for
  // openers that fill the window anew.
  void clearAttachments();

  // ----- typing, fonts, Attach menu (newmessage_language.cpp)
  void apply_local_font();
  void set_input_mode(int mode);
  void send_key_sequence(int index, QWidget* target);
  void txtBody_KeyDown(int index);
  void txtSubject_KeyDown(int index);
  void sin_ph_Click();
  void Sin_wijey_Click();
  void Tamil_ph_Click();
  void Engli_us_Click();
  void keyfunc_Click(int index);
  void Keymap_Click();
  void List1_Click(int row);
  void sh_kbd_Click();
  void xfont_Click();
  void fsize_Click(int index);
  void mnuSinhalaTag_Click();
  void mnuTamilTag_Click();
  void mnuSinhalaAttach_Click();
  void mnuTamilAttach_Click();
  // Captions and font of the keyfunc buttons from the language state.
  void showKeySequences();
  void fillCharacterPicker();

  // ----- attachments (newmessage_attach.cpp)
  void addAttach_Click();
  // Attaches the file at path, named sendName in the message (the file's own
  // name when empty); says why and adds nothing when it cannot.
  bool attach_file(const QString& path, const QString& sendName = {});
  compose::AttachmentEncoding chosenEncoding() const;

  // ----- edit, find and text files (newmessage_edit.cpp)
  void mnuOpen_Click();
  void mnuSave_Click();
  void mnuSaveAs_Click();
  void mnuCut_Click();
  void mnuCopy_Click();
  void mnuPaste_Click();
  void mnuDelete_Click();
  void mnuSelAll_Click();
  void mnudateTime_Click();
  void mnuInsertFile_Click();
  void mnuFind_Click();
  void mnuFindnext_Click();
  // The body's own copy and cut keys go through the Edit commands, which
  // keep every font code (Qt's plain-text copy turns code 160 into a blank).
  void routeBodyClipboardKeys();

  // ----- Sinhala and Tamil as Unicode (newmessage_unicode.cpp)
  QAction* mnuUnicodeCopy = nullptr;  // "Also send a &Unicode copy", remembered
  void createUnicodeSupport();
  void mnuUnicodeCopy_Click();
  // The body in Unicode for the copy sent beside it; empty when the option
  // is off or the body holds nothing to convert. Goes to putBodyIntoMessage.
  QString unicodeCopyText() const;
  void convertPastedBodyText(QTextCursor range);
  void convertPastedSubjectText(const QString& text);
  QString subject_before_;
  // True while the message is written in real Unicode (subject and body hold
  // Unicode in the Unicode fonts) rather than in the display fonts' codes.
  bool writesUnicode() const { return writes_unicode_; }
  bool writes_unicode_ = false;
  QAction* mnuWriteUnicode = nullptr;  // "&Write in Unicode", the next message's default
  void mnuWriteUnicode_Click();
  // Switches this message between Unicode and font codes, converting what
  // the subject and body hold. False, with a message and nothing changed,
  // when they hold letters the display fonts cannot show.
  bool setWritesUnicode(bool on);
  // Text an input method typed (Unicode) put in at box's caret: as it is
  // while writing Unicode, else as the display font's codes. False, with a
  // note in the status line and nothing typed, for letters the font of the
  // subject cannot show.
  bool insertTypedUnicode(QWidget* box, const QString& text);
  // A code the key table gave for box: while writing Unicode the word being
  // typed is shown converted and true is returned; Backspace (8) takes the
  // word's last code.
  bool typeCodeInUnicode(QWidget* box, int code);
  // The Unicode fonts on subject and body (while writing Unicode).
  void applyUnicodeFonts();
  // The script typed keys and a single-font box stand for now.
  FontScript typingScript() const;
  // The picker's code added at the end of the body, converted.
  void pickUnicode(int code);

  // ----- sending (newmessage_send.cpp)
  void Send_Click();
  void deliver_Click();
  void deliver_offline();
  void Mail1_Done();
  void Mail1_AsyncError(int code, const QString& message);
  void Mail1_Debug(const QString& message);
  void Mail1_Progress(qint64 done, qint64 total);
  // True while a send or a delivery run is under way.
  bool isSending() const;
  // Says so and returns true while a send or delivery is under way.
  bool refuseWhileSending();
  // Delivery runs use a control of their own, so the message being
  // written in Mail1 is never touched by one.
  MailControl* deliveryMail = nullptr;


 protected:
  bool event(QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void createControls();
  void createToolbar();
  void createMenus();
  void connectHandlers();
  void placeDesignControls();
  void insertNoticeAtTop(const QString& notice);
  // sending (newmessage_send.cpp)
  bool checkFields();
  void completeMessage();
  void queueInOutBox();
  void startSend();
  void sendFinished();
  void deliveryRunFinished();
  void showSendProgress(const QString& text);
  compose::SendSession* startSession(MailControl* control);
  // Buttons back on; the session goes once its caller has read it.
  compose::SendSession* takeFinishedSession();
  // Mail1's handlers hear this control's events.
  void connectControlEvents(MailControl* control);
  compose::SendAccount account() const;
  QPointer<compose::SendSession> session_;
  QByteArray draft_;  // Mail1's message before Send filled it in
  int held_ = 0;      // OutBox messages the last delivery run left alone
  QString heldText() const;

  bool activating_ = false;
  // The word being typed in Unicode in each box.
  compose::UnicodeTyping body_typing_;
  compose::UnicodeTyping subject_typing_;
  bool typeCodeAt(QWidget* box, int code, std::optional<int> bodyPosition = std::nullopt);
  void insertAtCaret(QWidget* box, const QList<compose::FontCodeRun>& runs);
};

// The shared compose window, loaded (Form_Load) on first reference.
NewMessage* newMessage();
bool newMessageLoaded();
// The window every later load is parented to (the main window), so the
// compose window goes when it goes; nullptr for none.
void setNewMessageOwner(QWidget* owner);
// Who else hears what a send or delivery run is doing (the main window's
// status area) and when a delivery run is over (OutBox and Sent changed).
struct SendObserver {
  std::function<void(const QString&)> progress;
  std::function<void()> deliveryFinished;
};
void setSendObserver(SendObserver observer);
const SendObserver& sendObserver();
