// Draws the keyboard pictures from the key table and the display fonts:
//   draw_keyboards <neltex.csv> <fonts folder> <output folder>
// writes Nelisin.png (both Sinhala layouts) and Velan.png (Tamil); the
// script beside it turns them into GIF files.
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>
#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include <vector>

namespace {

using Row = std::array<int, 4>;
std::map<int, Row> g_table;

bool readTable(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
    return false;
  QTextStream in(&file);
  while (!in.atEnd()) {
    const QStringList f = in.readLine().split(QLatin1Char(','));
    if (f.size() < 4)
      continue;
    const int key = f[0].trimmed().remove(QLatin1Char('"')).toInt();
    Row row{key, 0, 0, 0};
    for (int i = 1; i < 4; ++i)
      row[i] = int(std::floor(f[i].trimmed().remove(QLatin1Char('"')).toDouble()));
    g_table[key] = row;
  }
  return true;
}

int translate(int key, int mode) {
  const auto it = g_table.find(key);
  return it == g_table.end() ? 0 : it->second[mode];
}

const char* const kRows[4][2] = {
    {"`1234567890-=", "~!@#$%^&*()_+"},
    {"qwertyuiop[]\\", "QWERTYUIOP{}|"},
    {"asdfghjkl;'", "ASDFGHJKL:\""},
    {"zxcvbnm,./", "ZXCVBNM<>?"},
};
const int kRowIndent[4] = {0, 30, 45, 65};

constexpr int kKey = 72;
constexpr int kGap = 6;
constexpr int kMargin = 16;

struct Panel {
  QString title;
  int mode;
  QColor colour;
};

// One code drawn in the display font; a zero-width sign sits on the font's
// dotted circle so it can be seen.
void drawCode(QPainter& p, const QFont& font, int code, int carrier, const QRect& box, const QColor& colour) {
  if (code <= 0 || code > 255)
    return;
  QString text{QChar(code)};
  QFontMetrics fm(font);
  if (fm.horizontalAdvance(text) <= 1)
    text = QString(QChar(carrier)) + text;
  p.setFont(font);
  p.setPen(colour);
  const int width = fm.horizontalAdvance(text);
  const int x = box.center().x() - width / 2;
  const int y = box.top() + (box.height() + fm.ascent() - fm.descent()) / 2;
  p.drawText(x, y, text);
}

int drawPanel(QPainter& p, int top, const Panel& panel, const QString& family, int carrier) {
  QFont title(QStringLiteral("DejaVu Sans"));
  title.setPixelSize(18);
  title.setBold(true);
  p.setFont(title);
  p.setPen(Qt::black);
  p.drawText(kMargin, top + 20, panel.title);
  top += 32;

  QFont label(QStringLiteral("DejaVu Sans"));
  label.setPixelSize(12);
  QFont glyph(family);
  glyph.setPixelSize(26);
  glyph.setStyleStrategy(QFont::NoFontMerging);

  for (int r = 0; r < 4; ++r) {
    const QString lower = QString::fromLatin1(kRows[r][0]);
    const QString upper = QString::fromLatin1(kRows[r][1]);
    for (int i = 0; i < lower.size(); ++i) {
      const QRect cap(kMargin + kRowIndent[r] + i * (kKey + kGap), top + r * (kKey + kGap), kKey, kKey);
      QPainterPath path;
      path.addRoundedRect(cap, 7, 7);
      p.fillPath(path, QColor(246, 246, 240));
      p.setPen(QPen(QColor(120, 120, 120), 1));
      p.drawPath(path);
      p.setFont(label);
      p.setPen(QColor(90, 90, 90));
      p.drawText(cap.left() + 5, cap.top() + 15, upper.at(i));
      p.drawText(cap.left() + 5, cap.bottom() - 5, lower.at(i));
      const QRect upperBox(cap.left() + 14, cap.top() + 2, kKey - 16, kKey / 2 - 2);
      const QRect lowerBox(cap.left() + 14, cap.top() + kKey / 2, kKey - 16, kKey / 2 - 2);
      drawCode(p, glyph, translate(upper.at(i).unicode(), panel.mode), carrier, upperBox, panel.colour);
      drawCode(p, glyph, translate(lower.at(i).unicode(), panel.mode), carrier, lowerBox, panel.colour);
    }
  }
  return top + 4 * (kKey + kGap);
}

int drawFunctionKeys(QPainter& p, int top, const std::vector<int>& sequences, int mode,
                     const QString& family, int carrier, const QColor& colour) {
  static const char* const kNames[11] = {"F4", "F5", "F6", "F7", "F8", "F9", "F10", "F11", "F12",
                                         "Shift F7", "Shift F8"};
  QFont label(QStringLiteral("DejaVu Sans"));
  label.setPixelSize(12);
  QFont glyph(family);
  glyph.setPixelSize(26);
  glyph.setStyleStrategy(QFont::NoFontMerging);
  int x = kMargin;
  for (size_t i = 0; i < sequences.size(); ++i) {
    if (sequences[i] == 0)
      continue;
    const QRect cap(x, top, kKey, kKey - 8);
    QPainterPath path;
    path.addRoundedRect(cap, 7, 7);
    p.fillPath(path, QColor(232, 238, 248));
    p.setPen(QPen(QColor(120, 120, 120), 1));
    p.drawPath(path);
    p.setFont(label);
    p.setPen(QColor(60, 60, 60));
    p.drawText(cap.left() + 5, cap.top() + 15, QString::fromLatin1(kNames[i]));
    drawCode(p, glyph, translate(sequences[i], mode), carrier, cap.adjusted(0, 16, 0, 0), colour);
    x += kKey + kGap;
  }
  QFont note(QStringLiteral("DejaVu Sans"));
  note.setPixelSize(12);
  p.setFont(note);
  p.setPen(QColor(60, 60, 60));
  p.drawText(x + 8, top + 24, QStringLiteral("Shift+F4 types what F10 types."));
  p.drawText(x + 8, top + 42, QStringLiteral("Upper glyph: with Shift."));
  return top + kKey;
}

int panelWidth() { return 2 * kMargin + kRowIndent[1] + 13 * (kKey + kGap); }
int panelHeight() { return 32 + 4 * (kKey + kGap); }

QImage draw(const std::vector<Panel>& panels, const std::vector<int>& sequences, const QString& family,
            int carrier, const QString& heading) {
  const int height = 40 + int(panels.size()) * (panelHeight() + 12) + kKey + 28;
  QImage image(panelWidth(), height, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  QFont head(QStringLiteral("DejaVu Sans"));
  head.setPixelSize(20);
  head.setBold(true);
  p.setFont(head);
  p.setPen(Qt::black);
  p.drawText(kMargin, 28, heading);
  int top = 40;
  for (const Panel& panel : panels)
    top = drawPanel(p, top, panel, family, carrier) + 12;
  QFont title(QStringLiteral("DejaVu Sans"));
  title.setPixelSize(16);
  title.setBold(true);
  p.setFont(title);
  p.setPen(Qt::black);
  p.drawText(kMargin, top + 16, QStringLiteral("Function keys and the numbered buttons"));
  drawFunctionKeys(p, top + 24, sequences, panels.front().mode, family, carrier, panels.front().colour);
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc != 4) {
    std::fprintf(stderr, "usage: draw_keyboards <neltex.csv> <fonts folder> <output folder>\n");
    return 2;
  }
  if (!readTable(QString::fromLocal8Bit(argv[1]))) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  const QString fonts = QString::fromLocal8Bit(argv[2]);
  for (const char* file : {"nelira98.ttf", "velanamv.ttf"}) {
    if (QFontDatabase::addApplicationFont(fonts + QLatin1Char('/') + QLatin1String(file)) < 0) {
      std::fprintf(stderr, "cannot load %s\n", file);
      return 1;
    }
  }
  const QString out = QString::fromLocal8Bit(argv[3]);
  const std::vector<int> sinhala{202, 210, 211, 212, 214, 220, 203, 0, 0, 213, 215};
  const std::vector<int> tamil{202, 210, 211, 212, 214, 220, 202, 0, 0, 213, 215};
  const QImage si = draw({{QStringLiteral("Typewriter layout (Wijesekara) - button S.W"), 2, QColor(0, 0, 0)},
                          {QStringLiteral("Phonetic layout - button S"), 1, QColor(0, 40, 150)}},
                         sinhala, QStringLiteral("Nelira98"), 154, QStringLiteral("Sinhala keyboards - Nelira98"));
  const QImage ta = draw({{QStringLiteral("Phonetic layout - button T"), 3, QColor(0, 0, 0)}}, tamil,
                         QStringLiteral("Velan_nm"), 235, QStringLiteral("Tamil keyboard - Velan_nm"));
  if (!si.save(out + QStringLiteral("/Nelisin.png")) || !ta.save(out + QStringLiteral("/Velan.png")))
    return 1;
  return 0;
}
