// The anchor of the start-up figure: a bare Qt Widgets program that shows a
// main window holding two lists and a text box, lets it paint once and
// exits. `tovelmail --check` is timed against it, process start to exit.
#include <QApplication>
#include <QListWidget>
#include <QMainWindow>
#include <QSplitter>
#include <QTextEdit>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QMainWindow window;
  auto* splitter = new QSplitter(&window);
  splitter->addWidget(new QListWidget(splitter));
  splitter->addWidget(new QListWidget(splitter));
  splitter->addWidget(new QTextEdit(splitter));
  window.setCentralWidget(splitter);
  window.resize(800, 600);
  window.show();
  QCoreApplication::processEvents();
  return window.isVisible() ? 0 : 1;
}
