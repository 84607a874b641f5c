#pragma once
// The keyboard layout viewer: a picture of the Sinhala or the Tamil key
// layout, opened without being modal from the compose window.
#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <functional>
#include <memory>

class QPrinter;
class QScrollArea;

// The picture box: a label that reports clicks.
class KeyboardPicture : public QLabel {
  Q_OBJECT
 public:
  using QLabel::QLabel;
 Q_SIGNALS:
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
};

class frmkeybd : public QDialog {
  Q_OBJECT

 public:
  explicit frmkeybd(QWidget* parent = nullptr);

  // Shows the one viewer without making it modal: a new one starts on the
  // Sinhala picture, an open one is brought forward as it is.
  static frmkeybd* showViewer(QWidget* parent = nullptr);
  static frmkeybd* openViewer();  // the open viewer, if any

  // Where xprint_Click prints; the default is the system's default printer.
  // Tests hand in a printer that writes a PDF file.
  void setPrinterFactory(std::function<std::unique_ptr<QPrinter>()> factory);

  // The folder the pictures are read from; the program's folder unless set.
  void setPictureFolder(const QString& folder) { picture_folder_ = folder; }

  // The picture file last shown.
  QString picturePath() const { return picture_path_; }

  KeyboardPicture* keybd = nullptr;
  QPushButton* sinhala_k = nullptr;
  QPushButton* Tamil_k = nullptr;
  QPushButton* xprint = nullptr;
  QPushButton* Command1 = nullptr;

  void Form_Load();
  void sinhala_k_Click();
  void Tamil_k_Click();
  void keybd_Click();
  void xprint_Click();
  void Command1_Click();

 private:
  bool loadPicture(const QString& fileName);
  void fitToPicture();

  QString picture_path_;
  QString picture_folder_;
  QScrollArea* scroll_ = nullptr;
  std::function<std::unique_ptr<QPrinter>()> printer_factory_;
};
