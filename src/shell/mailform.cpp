#include "shell/mailform.h"

#include "language/languagestate.h"
#include "platform/designrect.h"
#include "platform/namedmenu.h"
#include "platform/paths.h"
#include "platform/prompter.h"
#include "platform/twips.h"
#include "settings/connectionoptionsform.h"
#include "settings/passwordkeeper.h"
#include "settings/settingsstore.h"
#include "settings/userinfo.h"
#include "shell/certificatequestion.h"
#include "shell/frmsplash.h"
#include "shell/mainlayout.h"
#include "shell/picturebutton.h"
#include "store/mailstore.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPixmap>

using platform::addNamedItem;
using platform::addNamedMenu;
using platform::addNamedSeparator;
using platform::DesignRect;
using platform::msgBox;
using platform::place;
using platform::twipsToPixels;

namespace {

const char* const kToolTips[6] = {"Read New Mail", "Reply", "New Message", "Forward", "Delete", "Move"};
const char* const kIcons[6] = {"getmail.png", "reply.png", "new.png", "forward.png", "delete.png", "move.png"};

constexpr double kRow1 = 45, kRow2 = 360, kRowHeight = 300;

}  // namespace

MailForm::MailForm(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("MailForm"));
  setWindowTitle(QStringLiteral("Tovel Mail 98"));
  createControls();
  createMenus();
  connectHandlers();
  createUnicodeSupport();
  createAutoFontSupport();
  placeDesignControls();
  installCertificateQuestion();
  setMinimumSize(twipsToPixels(MainLayoutDesign::kMinInnerWidth + 600),
                 twipsToPixels(MainLayoutDesign::kMinInnerHeight + 900));
  resize(twipsToPixels(14100), twipsToPixels(9600));
}

MailForm::~MailForm() = default;

void MailForm::createControls() {
  auto* central = new QWidget(this);
  central->setObjectName(QStringLiteral("client"));
  setCentralWidget(central);
  central->installEventFilter(this);

  Mail1 = new MailControl(this);
  Mail1->setObjectName(QStringLiteral("Mail1"));

  const QString iconDir = platform::joinPath(platform::programFolder(), QStringLiteral("icons"));
  for (int i = 0; i < 6; ++i) {
    auto* button = new PictureButton(i, central);
    button->setObjectName(QStringLiteral("pictbut_%1").arg(i));
    button->setToolTip(QString::fromLatin1(kToolTips[i]));
    button->setPixmap(QPixmap(platform::joinPath(iconDir, QString::fromLatin1(kIcons[i]))));
    pictbut[i] = button;
  }

  auto makeCheck = [central](const char* name, const char* caption, bool checked) {
    auto* box = new QCheckBox(QString::fromLatin1(caption), central);
    box->setObjectName(QString::fromLatin1(name));
    box->setChecked(checked);
    return box;
  };
  auto makeButton = [central](const char* name, const char* caption) {
    auto* button = new QPushButton(QString::fromLatin1(caption), central);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
  };

  offline = makeCheck("offline", "&Offline", true);
  attachments = new QComboBox(central);
  attachments->setObjectName(QStringLiteral("attachments"));
  textBody = new QTextEdit(central);
  textBody->setObjectName(QStringLiteral("textBody"));
  textBody->setAcceptRichText(false);
  textBody->viewport()->installEventFilter(this);
  forward_msg = makeButton("forward_msg", "&Forward");
  statbar = makeButton("statbar", "");
  statbar->setFocusPolicy(Qt::NoFocus);
  news_msg = makeButton("news_msg", "&New");
  Move_msg = makeButton("Move_msg", "&Move");
  Del_msg = makeButton("Del_msg", "&Delete");
  createGetMailSession();
  chkHostDelete = makeCheck("chkHostDelete", "Host &Delete", true);
  cmdHSplit = makeButton("cmdHSplit", "");
  cmdVSplit = makeButton("cmdVSplit", "");
  cmdHSplit->setFocusPolicy(Qt::NoFocus);
  cmdVSplit->setFocusPolicy(Qt::NoFocus);
  listMessages = new QListWidget(central);
  listMessages->setObjectName(QStringLiteral("listMessages"));
  listFolders = new QListWidget(central);
  listFolders->setObjectName(QStringLiteral("listFolders"));
  QFont listFont(QStringLiteral("Nelisin_nm"));
  listFont.setPointSizeF(9.75);
  listMessages->setFont(listFont);
  listFolders->setFont(listFont);
  Flag = makeCheck("Flag", "Flag", false);
  chkTrace = makeCheck("chkTrace", "T&race", false);
  chkBlocking = makeCheck("chkBlocking", "&Blocking", false);
  cmdReply = makeButton("cmdReply", "&Reply");
  cmdGetMail = makeButton("cmdGetMail", "&GetMail");
  attLabel = new QLabel(QStringLiteral("Attach:"), central);
  attLabel->setObjectName(QStringLiteral("attLabel"));
  lblPercentage = new QLabel(central);
  lblPercentage->setObjectName(QStringLiteral("lblPercentage"));
  Line1 = new QFrame(central);
  Line1->setObjectName(QStringLiteral("Line1"));
  Line1->setFrameShape(QFrame::HLine);
  Line1->setStyleSheet(QStringLiteral("color: #ffffff; background: #ffffff;"));
  Line2 = new QFrame(central);
  Line2->setObjectName(QStringLiteral("Line2"));
  Line2->setFrameShape(QFrame::HLine);
  Line2->setStyleSheet(QStringLiteral("color: #808080; background: #808080;"));

  // Until a message with attachments is shown.
  attachments->hide();
  attLabel->hide();
}

void MailForm::createMenus() {
  QMenuBar* bar = menuBar();
  FileMenu = addNamedMenu(bar, "FileMenu", "&File");
  FileExit = addNamedItem(FileMenu, "FileExit", "E&xit");
  mnuFolder = addNamedMenu(bar, "mnuFolder", "Folders");
  mnuFolderNew = addNamedItem(mnuFolder, "mnuFolderNew", "New");
  mnuFloderDel = addNamedItem(mnuFolder, "mnuFloderDel", "Delete");
  mnuFloderRename = addNamedItem(mnuFolder, "mnuFloderRename", "Rename");
  SettingsMenu = addNamedMenu(bar, "SettingsMenu", "Se&ttings");
  SettingsUser = addNamedItem(SettingsMenu, "SettingsUser", "&User...");
  SettingsConnection = addNamedItem(SettingsMenu, "SettingsConnection", "&Connection...");
  ShowMenu = addNamedMenu(bar, "ShowMenu", "Sh&ow");
  ShowHeaders = addNamedItem(ShowMenu, "ShowHeaders", "&Headers");
  ShowHeaders->setCheckable(true);
  ShowSourceMenu = addNamedItem(ShowMenu, "ShowSourceMenu", "&Source");
  mnuatt = addNamedMenu(bar, "mnuatt", "&Attachments");
  mnuSaveAtt = addNamedItem(mnuatt, "mnuSaveAtt", "&Save Attachments");
  mnuUtilities = addNamedMenu(bar, "mnuUtilities", "&Utilities");
  MnuDeliverMessages = addNamedItem(mnuUtilities, "MnuDeliverMessages", "&Deliver Messages");
  addNamedSeparator(mnuUtilities, "mnuSepU1");
  mnuDelMsgSvr = addNamedItem(mnuUtilities, "mnuDelMsgSvr", "Delete Mails From Server");
  mnuGetAllMail = addNamedItem(mnuUtilities, "mnuGetAllMail", "&Fetch All Mail Again");
  addNamedSeparator(mnuUtilities, "mnuSepU2");
  mnuBlocking = addNamedItem(mnuUtilities, "mnuBlocking", "&Blocking Mode");
  mnuBlocking->setCheckable(true);
  mnuBlocking->setChecked(true);
  mnuHostDelete = addNamedItem(mnuUtilities, "mnuHostDelete", "&Host Delete Mode");
  mnuHostDelete->setCheckable(true);
  mnuHostDelete->setChecked(true);
  mnuClear = addNamedMenu(bar, "mnuClear", "&Clear ");
  const char* const clearCaptions[4] = {"&File Box", "&Sent Box", "&Deleted Box", "&Inbox"};
  for (int i = 0; i < 4; ++i)
    mnuClearFiles[i] = addNamedItem(mnuClear, QStringLiteral("mnuClearFiles_%1").arg(i).toLatin1().constData(), clearCaptions[i]);
  mnuLanguage = addNamedMenu(bar, "mnuLanguage", "&Language");
  const char* const languageCaptions[3] = {"&Sinhala", "&Tamil", "&English"};
  for (int i = 0; i < 3; ++i) {
    mnuLangSinh[i] = addNamedItem(mnuLanguage, QStringLiteral("mnuLangSinh_%1").arg(i).toLatin1().constData(), languageCaptions[i]);
    mnuLangSinh[i]->setCheckable(true);
  }
  mnuLangSinh[0]->setChecked(true);
  mnuHelp = addNamedMenu(bar, "mnuHelp", "&Help");
  mnuTutor = addNamedItem(mnuHelp, "mnuTutor", "&Tutorial");
  mnuAbout = addNamedItem(mnuHelp, "mnuAbout", "&About");
}

void MailForm::connectHandlers() {
  for (PictureButton* button : pictbut) {
    connect(button, &PictureButton::clicked, this, &MailForm::pictbut_Click);
    connect(button, &PictureButton::mouseDown, this, &MailForm::pictbut_MouseDown);
    connect(button, &PictureButton::mouseUp, this, &MailForm::pictbut_MouseUp);
  }
  connect(offline, &QCheckBox::clicked, this, &MailForm::offline_Click);
  connect(cmdGetMail, &QPushButton::clicked, this, &MailForm::cmdGetMail_Click);
  connect(cmdReply, &QPushButton::clicked, this, &MailForm::cmdReply_Click);
  connect(news_msg, &QPushButton::clicked, this, &MailForm::news_msg_Click);
  connect(forward_msg, &QPushButton::clicked, this, &MailForm::forward_msg_Click);
  connect(Del_msg, &QPushButton::clicked, this, &MailForm::Del_msg_Click);
  connect(Move_msg, &QPushButton::clicked, this, &MailForm::Move_msg_Click);
  connect(chkBlocking, &QCheckBox::clicked, this, &MailForm::chkBlocking_Click);
  connect(chkHostDelete, &QCheckBox::clicked, this, &MailForm::chkHostDelete_Click);
  connect(chkTrace, &QCheckBox::clicked, this, &MailForm::chkTrace_Click);
  connect(Mail1, &MailControl::Done, this, &MailForm::Mail1_Done);
  connect(Mail1, &MailControl::Progress, this, &MailForm::Mail1_Progress);
  connect(Mail1, &MailControl::AsyncError, this, &MailForm::Mail1_AsyncError);
  connect(Mail1, &MailControl::Debug, this, &MailForm::Mail1_Debug);
  connect(listFolders, &QListWidget::currentRowChanged, this, [this] { listFolders_Click(); });
  connect(listMessages, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0)
      listMessages_Click();
  });

  connect(FileExit, &QAction::triggered, this, &MailForm::FileExit_Click);
  connect(mnuFolderNew, &QAction::triggered, this, &MailForm::mnuFolderNew_Click);
  connect(mnuFloderDel, &QAction::triggered, this, &MailForm::mnuFloderDel_Click);
  connect(mnuFloderRename, &QAction::triggered, this, &MailForm::mnuFloderRename_Click);
  connect(SettingsUser, &QAction::triggered, this, &MailForm::SettingsUser_Click);
  connect(SettingsConnection, &QAction::triggered, this, &MailForm::SettingsConnection_Click);
  connect(ShowHeaders, &QAction::triggered, this, [this] {
    // The handler inverts the check mark itself.
    ShowHeaders->setChecked(!ShowHeaders->isChecked());
    ShowHeaders_Click();
  });
  connect(ShowSourceMenu, &QAction::triggered, this, &MailForm::ShowSourceMenu_Click);
  connect(mnuSaveAtt, &QAction::triggered, this, &MailForm::mnuSaveAtt_Click);
  connect(MnuDeliverMessages, &QAction::triggered, this, &MailForm::MnuDeliverMessages_Click);
  connect(mnuDelMsgSvr, &QAction::triggered, this, &MailForm::mnuDelMsgSvr_Click);
  connect(mnuGetAllMail, &QAction::triggered, this, &MailForm::mnuGetAllMail_Click);
  connect(mnuBlocking, &QAction::triggered, this, [this] { mnuBlocking_Click(); });
  connect(mnuHostDelete, &QAction::triggered, this, [this] { mnuHostDelete_Click(); });
  for (int i = 0; i < 4; ++i)
    connect(mnuClearFiles[i], &QAction::triggered, this, [this, i] { mnuClearFiles_Click(i); });
  for (int i = 0; i < 3; ++i)
    connect(mnuLangSinh[i], &QAction::triggered, this, [this, i] { mnuLangSinh_Click(i); });
  connect(mnuTutor, &QAction::triggered, this, &MailForm::mnuTutor_Click);
  connect(mnuAbout, &QAction::triggered, this, &MailForm::mnuAbout_Click);
}

void MailForm::placeDesignControls() {
  for (int i = 0; i < 6; ++i)
    place(pictbut[i], DesignRect{45.0 + i * 570, 60, 540, 540});
  const double columns[3] = {3540, 4620, 5700};
  QPushButton* row1[3] = {cmdGetMail, cmdReply, news_msg};
  QPushButton* row2[3] = {forward_msg, Del_msg, Move_msg};
  QFont small = font();
  small.setPointSizeF(8);
  for (int i = 0; i < 3; ++i) {
    place(row1[i], DesignRect{columns[i], kRow1, 1035, kRowHeight});
    place(row2[i], DesignRect{columns[i], kRow2, 1035, kRowHeight});
    row1[i]->setFont(small);
    row2[i]->setFont(small);
  }
  place(offline, DesignRect{6840, kRow1, 1260, kRowHeight});
  place(chkHostDelete, DesignRect{8160, kRow1, 1320, kRowHeight});
  place(chkBlocking, DesignRect{6840, kRow2, 1260, kRowHeight});
  place(chkTrace, DesignRect{8160, kRow2, 1320, kRowHeight});
  place(Flag, DesignRect{9540, kRow1, 900, kRowHeight});
  place(lblPercentage, DesignRect{9540, kRow2, 900, kRowHeight});
  place(attLabel, DesignRect{10500, 195, 660, kRowHeight});
  place(attachments, DesignRect{11160, 165, 2700, 345});
  for (QWidget* w : {static_cast<QWidget*>(offline), static_cast<QWidget*>(chkHostDelete),
                     static_cast<QWidget*>(chkBlocking), static_cast<QWidget*>(chkTrace),
                     static_cast<QWidget*>(Flag), static_cast<QWidget*>(lblPercentage),
                     static_cast<QWidget*>(attLabel), static_cast<QWidget*>(attachments)})
    w->setFont(small);
  place(cmdVSplit, DesignRect{MainLayoutDesign::kVSplitInitialLeft, MainLayoutDesign::kVSplitTop,
                              MainLayoutDesign::kVSplitWidth, 1709});
  cmdVSplit->setProperty("twipsLeft", MainLayoutDesign::kVSplitInitialLeft);
}

void MailForm::layoutControls() {
  if (isMinimized())
    return;
  QWidget* client = centralWidget();
  const double innerWidth = platform::pixelsToTwips(client->width());
  const double innerHeight = platform::pixelsToTwips(client->height());
  const double barLeft = cmdVSplit->property("twipsLeft").toDouble();
  const MainLayout l = computeMainLayout(innerWidth, innerHeight, barLeft);
  place(Line1, DesignRect{0, MainLayoutDesign::kLine1Y, l.line_x2, 15});
  place(Line2, DesignRect{0, MainLayoutDesign::kLine2Y, l.line_x2, 15});
  place(cmdHSplit, l.cmdHSplit);
  place(listFolders, l.listFolders);
  place(cmdVSplit, l.cmdVSplit);
  cmdVSplit->setProperty("twipsLeft", l.cmdVSplit.left());
  place(listMessages, l.listMessages);
  place(textBody, l.textBody);
  place(statbar, l.statbar);
}

void MailForm::resizeEvent(QResizeEvent* event) { QMainWindow::resizeEvent(event); }

void MailForm::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && !isMinimized())
    layoutControls();
}

bool MailForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == centralWidget() && event->type() == QEvent::Resize)
    layoutControls();
  if (textBody && watched == textBody->viewport()) {
    if (event->type() == QEvent::MouseButtonDblClick) {
      // Let the view place the caret first, then act on its line.
      const bool handled = QMainWindow::eventFilter(watched, event);
      QMetaObject::invokeMethod(this, &MailForm::textBody_DblClick, Qt::QueuedConnection);
      return handled;
    }
    if (event->type() == QEvent::MouseButtonPress)
      QMetaObject::invokeMethod(this, &MailForm::textBody_Click, Qt::QueuedConnection);
    if (event->type() == QEvent::MouseButtonRelease)
      QMetaObject::invokeMethod(this, &MailForm::textBody_MouseUp, Qt::QueuedConnection);
  }
  return QMainWindow::eventFilter(watched, event);
}

void MailForm::closeEvent(QCloseEvent* event) {
  event->accept();
  FileExit_Click();
}

// ----- start-up

bool MailForm::configTovelmail() {
  language().current_language = 0;
  return passwordKeeper().load(settings());
}

void MailForm::Form_Load(bool showSplash) {
  MailStore& store = mailStore();
  store.folder_table = QVector<FolderEntry>(MailStore::kStartupFolderSlots);

  if (showSplash) {
    frmSplash splash(this);
    splash.exec();
  }

  store.offline_flag = offline->isChecked();

  if (!configTovelmail()) {
    UserInfo user(this);
    center_dialog(&user);
    user.exec();
    ConnectionOptionsForm connection(this);
    center_dialog(&connection);
    connection.exec();
  }

  settings().session_user = settings().pop_user;
  settings().session_password = settings().pop_password;

  store.setRoot(platform::mailRoot());
  store.folder_table = QVector<FolderEntry>(MailStore::kStartupFolderSlots);
  system_test();

  chkBlocking->setChecked(Mail1->Blocking());
  // The menu's check mark tells the truth from the start, like the box.
  mnuBlocking->setChecked(Mail1->Blocking());
  show();
  setMessageListTabStops();
  textBody->setReadOnly(true);

  applyStartupFonts();

  const QStringList folders = store.listFolderNames();
  listFolders->clear();
  listFolders->addItems(folders);
  listFolders->setCurrentRow(0);
  for (int i = 0; i < listFolders->count() && i < MailStore::kStartupFolderSlots; ++i)
    store.folder_table[i] = FolderEntry{listFolders->item(i)->text(), -1};
}

void MailForm::system_test() {
  MailStore& store = mailStore();
  if (!store.createStandardFolders())
    msgBox(QStringLiteral("Cannot create the mail folders in %1").arg(store.mail_root));
  if (!store.configExists()) {
    MnuDeliverMessages->setEnabled(false);
    offline->setChecked(false);
    offline->hide();
    store.offline_flag = false;
  }
}

void MailForm::center_dialog(QWidget* dialog) const {
  const QRect main = frameGeometry();
  dialog->adjustSize();
  const int top = main.top() + main.height() / 5;
  const int left = main.left() + (main.width() - dialog->width()) / 2;
  dialog->move(left, top);
}

void MailForm::pictbut_Click(int index) {
  switch (index) {
    case 0: cmdGetMail_Click(); break;
    case 1: cmdReply_Click(); break;
    case 2: news_msg_Click(); break;
    case 3: forward_msg_Click(); break;
    case 4: Del_msg_Click(); break;
    case 5: Move_msg_Click(); break;
    default: msgBox(QStringLiteral("Error !")); break;
  }
}

void MailForm::pictbut_MouseDown(int index) {
  if (index >= 0 && index < 6)
    pictbut[index]->setRaised(false);
}

void MailForm::pictbut_MouseUp(int index) {
  if (index >= 0 && index < 6)
    pictbut[index]->setRaised(true);
}

void MailForm::offline_Click() { mailStore().offline_flag = offline->isChecked(); }

void MailForm::mnuTutor_Click() { msgBox(QStringLiteral("Please Read Readme file")); }

void MailForm::mnuAbout_Click() {
  msgBox(QStringLiteral("Tovel Mail 98: e-mail in Sinhala, Tamil and English.\n"
                        "Written with Qt and GMime; fonts derived from Noto (SIL OFL)."));
}

void MailForm::FileExit_Click() { QApplication::exit(0); }

void MailForm::SettingsUser_Click() {
  UserInfo dialog(this);
  center_dialog(&dialog);
  dialog.exec();
}

void MailForm::SettingsConnection_Click() {
  ConnectionOptionsForm dialog(this);
  center_dialog(&dialog);
  dialog.exec();
}
