#include "compose/newmessage.h"

#include "compose/composelayout.h"
#include "editing/bodytext.h"
#include "editing/textlayout.h"
#include "language/keyinput.h"
#include "language/languagestate.h"
#include "platform/designrect.h"
#include "platform/namedmenu.h"
#include "platform/prompter.h"
#include "platform/twips.h"
#include "settings/settingsstore.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QPointer>

using platform::addNamedItem;
using platform::addNamedMenu;
using platform::addNamedSeparator;
using platform::DesignRect;
using platform::place;
using platform::twipsToPixels;

namespace {

QPointer<NewMessage> g_instance;
QPointer<QWidget> g_owner;

double rowTop(int row) { return ComposeDesign::kRowTop + row * ComposeDesign::kRowStep; }

QFont namedFont(const QFont& base, const QString& name, int points) {
  QFont font = base;
  font.setFamilies({name});
  if (points > 0)
    font.setPointSize(points);
  return font;
}

}  // namespace

// ----------------------------------------------------------- shared window

NewMessage* newMessage() {
  if (!g_instance) {
    g_instance = new NewMessage(g_owner);
    g_instance->Form_Load();
  }
  return g_instance;
}

bool newMessageLoaded() { return !g_instance.isNull(); }

void setNewMessageOwner(QWidget* owner) { g_owner = owner; }

// ----------------------------------------------------------- construction

NewMessage::NewMessage(QWidget* parent) : QMainWindow(parent, Qt::Window) {
  setObjectName(QStringLiteral("NewMessage"));
  setWindowTitle(QStringLiteral("New Message"));
  createControls();
  createToolbar();
  createMenus();
  connectHandlers();
  createUnicodeSupport();
  placeDesignControls();
  const int menuHeight = menuBar()->sizeHint().height();
  setMinimumSize(twipsToPixels(ComposeDesign::kMinInnerWidth),
                 twipsToPixels(ComposeDesign::kMinInnerHeight) + menuHeight);
  resize(twipsToPixels(ComposeDesign::kDesignInnerWidth),
         twipsToPixels(ComposeDesign::kDesignInnerHeight) + menuHeight);
}

NewMessage::~NewMessage() = default;

void NewMessage::createControls() {
  auto* central = new QWidget(this);
  central->setObjectName(QStringLiteral("client"));
  setCentralWidget(central);
  central->installEventFilter(this);

  Mail1 = new MailControl(this);
  Mail1->setObjectName(QStringLiteral("Mail1"));

  auto makeButton = [central](const char* name, const char* caption) {
    auto* button = new QPushButton(QString::fromLatin1(caption), central);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
  };
  auto makeField = [central](const char* name) {
    auto* field = new QLineEdit(central);
    field->setObjectName(QString::fromLatin1(name));
    return field;
  };
  auto makeLabel = [central](const char* name, const char* caption, QWidget* buddy) {
    auto* label = new QLabel(QString::fromLatin1(caption), central);
    label->setObjectName(QString::fromLatin1(name));
    label->setBuddy(buddy);
    return label;
  };

  txtTo = makeField("txtTo");
  txtSubject = makeField("txtSubject");
  txtCC = makeField("txtCC");
  txtBCC = makeField("txtBCC");
  Label1 = makeLabel("Label1", "&To:", txtTo);
  Label2 = makeLabel("Label2", "&Subject:", txtSubject);
  Label3 = makeLabel("Label3", "&CC:", txtCC);
  Label4 = makeLabel("Label4", "&BCC:", txtBCC);

  txtBody = new QTextEdit(central);
  txtBody->setObjectName(QStringLiteral("txtBody"));
  txtBody->setAcceptRichText(false);

  addAttach = makeButton("addAttach", "&Attachments:");
  cmbAttachments = new QComboBox(central);
  cmbAttachments->setObjectName(QStringLiteral("cmbAttachments"));

  Frame1 = new QGroupBox(QStringLiteral("Attachment Encoding"), central);
  Frame1->setObjectName(QStringLiteral("Frame1"));
  auto makeOption = [this](const char* name, const char* caption) {
    auto* option = new QRadioButton(QString::fromLatin1(caption), Frame1);
    option->setObjectName(QString::fromLatin1(name));
    return option;
  };
  optBase64 = makeOption("optBase64", "Base64");
  optQuotedPrintable = makeOption("optQuotedPrintable", "Quoted-Printable");
  optUU = makeOption("optUU", "UU");
  optBinhex40 = makeOption("optBinhex40", "Binhex40");
  optBase64->setChecked(true);

  Send = makeButton("Send", "Send");
  Cancel = makeButton("Cancel", "Cancel");
  Deliver = makeButton("Deliver", "Deliver");

  statbar = makeButton("statbar", "");
  statbar->setFocusPolicy(Qt::NoFocus);

  forwardlist = new QComboBox(central);
  forwardlist->setObjectName(QStringLiteral("forwardlist"));
  forwardlist->hide();
  DeliveryList = new QListWidget(central);
  DeliveryList->setObjectName(QStringLiteral("DeliveryList"));
  DeliveryList->hide();

  List1 = new QListWidget(central);
  List1->setObjectName(QStringLiteral("List1"));
  List1->hide();

  auto makeRule = [central](const char* name, const char* colour) {
    auto* rule = new QFrame(central);
    rule->setObjectName(QString::fromLatin1(name));
    rule->setFrameShape(QFrame::HLine);
    rule->setStyleSheet(QStringLiteral("color: %1; background: %1;").arg(QLatin1String(colour)));
    return rule;
  };
  Line1 = makeRule("Line1", "#808080");
  Line2 = makeRule("Line2", "#ffffff");

  // Only the subject and the body are typed through the table.
  for (QWidget* box : {static_cast<QWidget*>(txtSubject), static_cast<QWidget*>(txtBody)}) {
    auto* input = new TranslitInput(box);
    input->setObjectName(box->objectName() + QStringLiteral("_input"));
    input->onFunctionKey = [this](int index, QWidget* target) {
      if (target == txtBody)
        txtBody_KeyDown(index);
      else
        txtSubject_KeyDown(index);
    };
  }
}

void NewMessage::createToolbar() {
  tovelbar = new QFrame(centralWidget());
  tovelbar->setObjectName(QStringLiteral("tovelbar"));
  tovelbar->setFrameShape(QFrame::StyledPanel);

  double x = 30;
  const double top = (ComposeDesign::kToolbarHeight - ComposeDesign::kToolButton) / 2;
  auto add = [this, &x, top](const QString& name, const QString& caption, const char* tip,
                             double width = ComposeDesign::kToolButton) {
    auto* button = new QPushButton(caption, tovelbar);
    button->setObjectName(name);
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::NoFocus);  // the caret stays in the box typed in
    if (tip)
      button->setToolTip(QString::fromLatin1(tip));
    place(button, DesignRect{x, top, width, ComposeDesign::kToolButton});
    x += width + ComposeDesign::kToolGap;
    return button;
  };
  Engli_us = add(QStringLiteral("Engli_us"), QStringLiteral("&E"), "Set English");
  Tamil_ph = add(QStringLiteral("Tamil_ph"), QStringLiteral("&T"), "Set Tamil Phonetic");
  Sin_wijey = add(QStringLiteral("Sin_wijey"), QStringLiteral("S.&W"), "Set Sinhala Wijeysekara");
  sin_ph = add(QStringLiteral("sin_ph"), QStringLiteral("&S"), "Sinhala Phonetic");
  sh_kbd = add(QStringLiteral("sh_kbd"), QStringLiteral("&Keyboards"), nullptr, ComposeDesign::kKeyboardsWidth);
  const QFont designFont = namedFont(font(), QStringLiteral("Times New Roman"), 12);
  for (int i : {0, 1, 2, 3, 4, 5, 6, 9, 10}) {
    QPushButton* key = add(QStringLiteral("keyfunc_%1").arg(i), QString::number(i), nullptr, ComposeDesign::kKeyButton);
    key->setFont(designFont);
    keyfunc[static_cast<size_t>(i)] = key;
  }
  xfont = add(QStringLiteral("xfont"), QStringLiteral("&F"), "Set Local Font");
  fsize[0] = add(QStringLiteral("fsize_0"), QStringLiteral("+"), "Font Size ++");
  fsize[1] = add(QStringLiteral("fsize_1"), QStringLiteral("-"), "Font Size --");
  Keymap = add(QStringLiteral("Keymap"), QStringLiteral("&K"), "Show Key Map");
  Refresh = add(QStringLiteral("Refresh"), QStringLiteral("&R"), "Refresh Window");
  tovelbar->resize(twipsToPixels(x), twipsToPixels(ComposeDesign::kToolbarHeight));
}

void NewMessage::createMenus() {
  QMenuBar* bar = menuBar();
  mnuFile = addNamedMenu(bar, "mnuFile", "&File");
  mnuOpen = addNamedItem(mnuFile, "mnuOpen", "&Open");
  mnuSave = addNamedItem(mnuFile, "mnuSave", "&Save");
  mnuSaveAs = addNamedItem(mnuFile, "mnuSaveAs", "&Save As");
  mnuExit = addNamedItem(mnuFile, "mnuExit", "&Exit");
  mnuEdit = addNamedMenu(bar, "mnuEdit", "&Edit");
  mnuCut = addNamedItem(mnuEdit, "mnuCut", "Cu&t");
  mnuCopy = addNamedItem(mnuEdit, "mnuCopy", "&Copy");
  mnuPaste = addNamedItem(mnuEdit, "mnuPaste", "&Paste");
  mnuDelete = addNamedItem(mnuEdit, "mnuDelete", "&Delete");
  addNamedSeparator(mnuEdit, "mnuSep");
  mnuSelAll = addNamedItem(mnuEdit, "mnuSelAll", "Select &All");
  mnuInsert = addNamedMenu(bar, "mnuInsert", "&Insert");
  mnudateTime = addNamedItem(mnuInsert, "mnudateTime", "&Date/Time");
  mnuInsertFile = addNamedItem(mnuInsert, "mnuInsertFile", "&File");
  mnuSearch = addNamedMenu(bar, "mnuSearch", "&Search");
  mnuFind = addNamedItem(mnuSearch, "mnuFind", "&Find");
  mnuFindnext = addNamedItem(mnuSearch, "mnuFindnext", "&Find Next");
  mnuAttach = addNamedMenu(bar, "mnuAttach", "&Attach");
  mnuSinhalaTag = addNamedItem(mnuAttach, "mnuSinhalaTag", "Attach Sinhala &Tag");
  mnuTamilTag = addNamedItem(mnuAttach, "mnuTamilTag", "Attach Ta&mil Tag");
  addNamedSeparator(mnuAttach, "mnuSepA");
  mnuSinhalaAttach = addNamedItem(mnuAttach, "mnuSinhalaAttach", "Attach &Sinhala Font");
  mnuTamilAttach = addNamedItem(mnuAttach, "mnuTamilAttach", "Attach &Tamil Font");
}

void NewMessage::connectHandlers() {
  connect(Send, &QPushButton::clicked, this, &NewMessage::Send_Click);
  connect(Cancel, &QPushButton::clicked, this, &NewMessage::Cancel_Click);
  connect(Deliver, &QPushButton::clicked, this, &NewMessage::deliver_Click);
  connect(Refresh, &QPushButton::clicked, this, &NewMessage::Refresh_Click);
  connect(addAttach, &QPushButton::clicked, this, &NewMessage::addAttach_Click);
  connectControlEvents(Mail1);

  connect(Engli_us, &QPushButton::clicked, this, &NewMessage::Engli_us_Click);
  connect(Tamil_ph, &QPushButton::clicked, this, &NewMessage::Tamil_ph_Click);
  connect(Sin_wijey, &QPushButton::clicked, this, &NewMessage::Sin_wijey_Click);
  connect(sin_ph, &QPushButton::clicked, this, &NewMessage::sin_ph_Click);
  connect(sh_kbd, &QPushButton::clicked, this, &NewMessage::sh_kbd_Click);
  for (size_t i = 0; i < keyfunc.size(); ++i)
    if (keyfunc[i])
      connect(keyfunc[i], &QPushButton::clicked, this, [this, i] { keyfunc_Click(int(i)); });
  connect(xfont, &QPushButton::clicked, this, &NewMessage::xfont_Click);
  connect(fsize[0], &QPushButton::clicked, this, [this] { fsize_Click(0); });
  connect(fsize[1], &QPushButton::clicked, this, [this] { fsize_Click(1); });
  connect(Keymap, &QPushButton::clicked, this, &NewMessage::Keymap_Click);
  connect(List1, &QListWidget::itemClicked, this,
          [this](QListWidgetItem* item) { List1_Click(List1->row(item)); });

  const std::pair<QAction*, void (NewMessage::*)()> menuHandlers[] = {
      {mnuOpen, &NewMessage::mnuOpen_Click},
      {mnuSave, &NewMessage::mnuSave_Click},
      {mnuSaveAs, &NewMessage::mnuSaveAs_Click},
      {mnuExit, &NewMessage::mnuExit_Click},
      {mnuCut, &NewMessage::mnuCut_Click},
      {mnuCopy, &NewMessage::mnuCopy_Click},
      {mnuPaste, &NewMessage::mnuPaste_Click},
      {mnuDelete, &NewMessage::mnuDelete_Click},
      {mnuSelAll, &NewMessage::mnuSelAll_Click},
      {mnudateTime, &NewMessage::mnudateTime_Click},
      {mnuInsertFile, &NewMessage::mnuInsertFile_Click},
      {mnuFind, &NewMessage::mnuFind_Click},
      {mnuFindnext, &NewMessage::mnuFindnext_Click},
      {mnuSinhalaTag, &NewMessage::mnuSinhalaTag_Click},
      {mnuTamilTag, &NewMessage::mnuTamilTag_Click},
      {mnuSinhalaAttach, &NewMessage::mnuSinhalaAttach_Click},
      {mnuTamilAttach, &NewMessage::mnuTamilAttach_Click},
  };
  for (const auto& [action, handler] : menuHandlers)
    connect(action, &QAction::triggered, this, handler);
  routeBodyClipboardKeys();
}

void NewMessage::placeDesignControls() {
  using D = ComposeDesign;
  QPushButton* const buttons[3] = {Send, Cancel, Deliver};
  for (int i = 0; i < 3; ++i)
    place(buttons[i], DesignRect{D::kMargin, rowTop(i), D::kButtonWidth, D::kRowHeight});
  QLabel* const labels[4] = {Label1, Label2, Label3, Label4};
  QLineEdit* const fields[4] = {txtTo, txtSubject, txtCC, txtBCC};
  for (int i = 0; i < 4; ++i) {
    place(labels[i], DesignRect{D::kLabelLeft, rowTop(i), D::kLabelWidth, D::kRowHeight});
    place(fields[i], DesignRect{D::kFieldLeft, rowTop(i), 0, D::kRowHeight});
  }
  place(addAttach, DesignRect{D::kLabelLeft - 60, rowTop(4), D::kFieldLeft - D::kLabelLeft, D::kRowHeight});
  place(cmbAttachments, DesignRect{D::kFieldLeft, rowTop(4), 0, D::kRowHeight});
  place(Frame1, DesignRect{D::kMargin, D::kFrameTop, D::kFrameWidth, D::kFrameHeight});
  const DesignRect options[4] = {{120, 330, 1050, 285}, {1260, 330, 1800, 285}, {3180, 330, 720, 285},
                                 {4020, 330, 1260, 285}};
  QRadioButton* const optionButtons[4] = {optBase64, optQuotedPrintable, optUU, optBinhex40};
  for (int i = 0; i < 4; ++i)
    place(optionButtons[i], options[i]);
  place(List1, DesignRect{D::kFieldLeft, D::kLine1Y + 25 + D::kToolbarHeight, 0, D::kPickerHeight});
}

// ----------------------------------------------------------- life cycle

void NewMessage::Form_Load() {
  Mail1->setFrom(settings().user_email);
  Mail1->setTo(txtTo->text());
  const LanguageState& state = language();
  txtBody->setFont(namedFont(txtBody->font(), state.display_font_name, state.display_font_size));
  txtSubject->setFont(namedFont(txtSubject->font(), state.display_font_name, state.display_font_size - 2));
  showKeySequences();
  fillCharacterPicker();
  if (writesUnicode())
    applyUnicodeFonts();
}

void NewMessage::Form_Activate() {
  if (activating_)
    return;
  activating_ = true;
  // Each forwarded file is attached once: it leaves the list as it is taken.
  while (forwardlist->count() > 0) {
    const QString path = forwardlist->itemText(0);
    const QString sendName = forwardlist->itemData(0).toString();
    forwardlist->removeItem(0);
    attach_file(path, sendName);
  }
  txtBody->setTextColor(Qt::black);
  const LanguageState& state = language();
  switch (state.current_language) {
    case Sinhala:
      // A Sinhala typist who chose the Wijesekara keys keeps them.
      if (state.input_mode == ModeWijesekara)
        Sin_wijey_Click();
      else
        sin_ph_Click();
      break;
    case Tamil: Tamil_ph_Click(); break;
    case English: Engli_us_Click(); break;
    default: break;
  }
  activating_ = false;
}

void NewMessage::Form_Resize() {
  if (isMinimized())
    return;
  QWidget* client = centralWidget();
  const ComposeLayout l = computeComposeLayout(platform::pixelsToTwips(client->width()),
                                               platform::pixelsToTwips(client->height()));
  place(Line1, DesignRect{0, ComposeDesign::kLine1Y, l.line_x2, 15});
  place(Line2, DesignRect{0, ComposeDesign::kLine2Y, l.line_x2, 15});
  for (QWidget* w : {static_cast<QWidget*>(txtTo), static_cast<QWidget*>(txtSubject),
                     static_cast<QWidget*>(txtCC), static_cast<QWidget*>(txtBCC),
                     static_cast<QWidget*>(cmbAttachments), static_cast<QWidget*>(List1)})
    w->resize(twipsToPixels(l.fieldWidth), w->height());
  tovelbar->move(twipsToPixels(l.tovelbar.x()), twipsToPixels(l.tovelbar.y()));
  place(txtBody, l.txtBody);
  place(statbar, l.statbar);
}

void NewMessage::Unload() {
  if (g_instance == this)
    g_instance = nullptr;
  hide();
  deleteLater();
}

bool NewMessage::hasUnsentWork() const {
  for (const QLineEdit* field : {txtTo, txtSubject, txtCC, txtBCC})
    if (!field->text().trimmed().isEmpty())
      return true;
  return !txtBody->document()->isEmpty() || cmbAttachments->count() > 0;
}

bool NewMessage::confirmDiscard() {
  if (!hasUnsentWork())
    return true;
  return platform::prompter().question(
      QStringLiteral("This message has not been sent. Discard what you wrote and attached?"));
}

void NewMessage::Cancel_Click() {
  if (refuseWhileSending())
    return;
  if (confirmDiscard())
    Unload();
}

void NewMessage::mnuExit_Click() { Cancel_Click(); }

void NewMessage::Refresh_Click() { txtBody->viewport()->update(); }

QString NewMessage::bodyText() const { return editing::bodyText(txtBody); }

void NewMessage::setBodyText(const QString& text) { editing::setLaidOutText(txtBody, editing::withLf(text)); }

void NewMessage::clearAttachments() {
  cmbAttachments->clear();
  constexpr int kRelease = 11;
  Mail1->setActionCode(kRelease);
  Mail1->setFrom(settings().user_email);
}

// ----------------------------------------------------------- events

bool NewMessage::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate)
    QMetaObject::invokeMethod(this, &NewMessage::Form_Activate, Qt::QueuedConnection);
  return QMainWindow::event(event);
}

void NewMessage::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && !isMinimized())
    Form_Resize();
}

void NewMessage::closeEvent(QCloseEvent* event) {
  if (refuseWhileSending() || !confirmDiscard()) {
    event->ignore();
    return;
  }
  event->accept();
  Unload();
}

bool NewMessage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == centralWidget() && event->type() == QEvent::Resize)
    Form_Resize();
  return QMainWindow::eventFilter(watched, event);
}
