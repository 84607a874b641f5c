#pragma once
// The main window: folders, message list, message view, toolbar, menus. Its
// handlers carry the names of the controls and events they serve; the work
// they do lives in the subsystem libraries. The handlers of each area are
// defined in their own file (mailform_*.cpp).
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <array>

#include "language/fontunicode.h"
#include "maillib/mailcontrol.h"
#include "reading/messagerenderer.h"
#include "reading/textscripts.h"

namespace compose {
struct QuoteSource;
}
class PictureButton;
class testform;
namespace retrieval {
class GetMailSession;
}
class SourceDisplay;

class MailForm : public QMainWindow {
  Q_OBJECT

 public:
  explicit MailForm(QWidget* parent = nullptr);
  ~MailForm() override;

  // The start-up sequence. Tests pass false to skip the modal splash.
  void Form_Load(bool showSplash = true);

  // ----- controls
  MailControl* Mail1 = nullptr;
  std::array<PictureButton*, 6> pictbut{};
  QCheckBox* offline = nullptr;
  QComboBox* attachments = nullptr;
  QTextEdit* textBody = nullptr;
  QPushButton* forward_msg = nullptr;
  QPushButton* statbar = nullptr;
  QPushButton* news_msg = nullptr;
  QPushButton* Move_msg = nullptr;
  QPushButton* Del_msg = nullptr;
  QTimer* Timer1 = nullptr;
  QCheckBox* chkHostDelete = nullptr;
  QPushButton* cmdHSplit = nullptr;
  QPushButton* cmdVSplit = nullptr;
  QListWidget* listMessages = nullptr;
  QListWidget* listFolders = nullptr;
  QCheckBox* Flag = nullptr;
  QCheckBox* chkTrace = nullptr;
  QCheckBox* chkBlocking = nullptr;
  QPushButton* cmdReply = nullptr;
  QPushButton* cmdGetMail = nullptr;
  QLabel* attLabel = nullptr;
  QLabel* lblPercentage = nullptr;
  QFrame* Line1 = nullptr;
  QFrame* Line2 = nullptr;

  // ----- menus
  QMenu* FileMenu = nullptr;
  QAction* FileExit = nullptr;
  QMenu* mnuFolder = nullptr;
  QAction* mnuFolderNew = nullptr;
  QAction* mnuFloderDel = nullptr;
  QAction* mnuFloderRename = nullptr;
  QMenu* SettingsMenu = nullptr;
  QAction* SettingsUser = nullptr;
  QAction* SettingsConnection = nullptr;
  QMenu* ShowMenu = nullptr;
  QAction* ShowHeaders = nullptr;
  QAction* ShowSourceMenu = nullptr;
  QMenu* mnuatt = nullptr;
  QAction* mnuSaveAtt = nullptr;
  QMenu* mnuUtilities = nullptr;
  QAction* MnuDeliverMessages = nullptr;
  QAction* mnuDelMsgSvr = nullptr;
  // GetMail that fetches even what an earlier GetMail stored already.
  QAction* mnuGetAllMail = nullptr;
  QAction* mnuBlocking = nullptr;
  QAction* mnuHostDelete = nullptr;
  QMenu* mnuClear = nullptr;
  std::array<QAction*, 4> mnuClearFiles{};
  QMenu* mnuLanguage = nullptr;
  std::array<QAction*, 3> mnuLangSinh{};
  QMenu* mnuHelp = nullptr;
  QAction* mnuTutor = nullptr;
  QAction* mnuAbout = nullptr;

  // ----- window state
  static constexpr std::array<int, 3> kTabStops{125, 275, 500};  // dialog units
  QString last_move_target;

  // ----- shell (mailform.cpp)
  void system_test();
  void center_dialog(QWidget* dialog) const;
  void pictbut_Click(int index);
  void pictbut_MouseDown(int index);
  void pictbut_MouseUp(int index);
  void offline_Click();
  void mnuTutor_Click();
  void mnuAbout_Click();
  void FileExit_Click();
  void SettingsUser_Click();
  void SettingsConnection_Click();
  bool configTovelmail();
  void layoutControls();  // the resize layout, in twips

  // ----- get-mail session (mailform_getmail.cpp); Timer1 is the session's
  retrieval::GetMailSession* getMail = nullptr;
  void createGetMailSession();
  void cmdGetMail_Click();
  void Mail1_Done();
  void Timer1_Timer();
  void Mail1_Progress(qint64 done, qint64 total);
  void Mail1_AsyncError(int code, const QString& message);
  void Mail1_Debug(const QString& message);
  void chkBlocking_Click();
  void mnuBlocking_Click();
  void chkHostDelete_Click();
  void mnuHostDelete_Click();
  void chkTrace_Click();
  void mnuDelMsgSvr_Click();
  void mnuGetAllMail_Click();
  QPointer<testform> deleteService;

  // ----- reading (mailform_reading.cpp); the walk over a message's parts is
  // reading::MessageRenderer
  void setMessageListTabStops();
  void listFolders_Click();
  void listMessages_Click();
  void show_message();
  void textBody_Click();
  void textBody_MouseUp();
  void textBody_DblClick();
  void mnuSaveAtt_Click();
  void ShowHeaders_Click();
  void ShowSourceMenu_Click();
  QPointer<SourceDisplay> sourceDisplay;
  bool message_loaded = false;        // Mail1 holds the shown message, at shown_part_path
  QString shown_message_path;         // file of the message the view shows
  QList<int> shown_part_path;         // part opened in the view, from the loaded message
  reading::RenderedMessage shown_view;  // what the view shows, and where each line came from
  bool reloadShownMessage();          // loads it into Mail1 again when a listing replaced it
  void showLoadedMessage();           // renders the loaded message and its attachment box
  void clearMessageView();
  void addAttachmentEntry(const reading::AttachmentEntry& entry);
  void openPartInView(const QList<int>& path);
  void extractPart(const reading::ViewBlock& block);

  // ----- folders and messages (mailform_folders.cpp)
  void mnuFolderNew_Click();
  void mnuFloderDel_Click();
  void mnuFloderRename_Click();
  void mnuClearFiles_Click(int index);
  void clear_files(int index);
  void Del_msg_Click();
  void Move_msg_Click();

  // ----- language (mailform_language.cpp)
  void applyStartupFonts();
  void mnuLangSinh_Click(int index);
  // Each text in the font of its own script; remembered, on unless turned off.
  QAction* mnuAutoFont = nullptr;  // "&Automatic font", checkable
  void createAutoFontSupport();
  void mnuAutoFont_Click();
  bool automaticFonts() const;
  reading::FontChoice fontChoiceOf(const QWidget* box) const;
  reading::FontChoice listed_choice = reading::FontChoice::PerText;  // of the entries listed
  reading::FontChoice shown_choice = reading::FontChoice::PerText;   // of the view shown
  void fontsChanged();        // the list's texts and the view follow a new choice
  void applyTextFonts();      // each text of the view in its script's font
  void applyFolderFonts(int first, int last);  // each folder name in its script's font
  compose::QuoteSource shownQuoteSource() const;  // the message on view, as it reads there

  // ----- Sinhala and Tamil as Unicode (mailform_unicode.cpp)
  QAction* ShowUnicode = nullptr;     // "Show as &Unicode", checkable
  QAction* mnuCopyUnicode = nullptr;  // "&Copy as Unicode"
  FontScript unicode_script = FontScript::Sinhala;  // whose codes the view holds
  void createUnicodeSupport();
  void ShowUnicode_Click();
  void mnuCopyUnicode_Click();
  void textBody_ContextMenu(const QPoint& pos);
  void prepareUnicodeView();    // between rendering and showing the text
  void applyUnicodeViewFont();  // once the text is in the view
  void applyUnicodeListFonts(int first, int last);

  // ----- reply, forward, new, delivery (mailform_compose.cpp)
  void cmdReply_Click();
  void forward_msg_Click();
  void news_msg_Click();
  // ----- out-box delivery (mailform_deliver.cpp)
  void MnuDeliverMessages_Click();
  void watchSending();  // the compose window's runs reach the status area
  void showSendProgress(const QString& text);
  void deliveryRunFinished();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void createControls();
  void createMenus();
  void connectHandlers();
  void placeDesignControls();
};
