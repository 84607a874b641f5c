#pragma once
// Draws message list entries whose columns are separated by TAB characters,
// lining each column up at fixed tab stops given in dialog units (a
// horizontal dialog unit is a quarter of the list font's average character
// width), as a Windows list box with tab stops does. With cell fonts on,
// each column of an entry that carries its cells (kListCellsRole) is drawn
// in the font of its own script, judged when the entry is first drawn.
#include "language/scriptfonts.h"

#include <QHash>
#include <QList>
#include <QStyledItemDelegate>
#include <optional>

namespace reading {

class TabStopDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  explicit TabStopDelegate(QList<int> stopsInDialogUnits, QObject* parent = nullptr);

  // The stops in pixels for a font.
  QList<qreal> stopPixels(const QFont& font) const;

  void setCellFonts(bool on) { cell_fonts_ = on; }
  bool cellFonts() const { return cell_fonts_; }
  // The font column (0 sender, 1 subject, 2 date) of an entry is drawn in.
  QFont cellFont(const QStyleOptionViewItem& option, const QModelIndex& index, int column) const;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  struct Cell {
    QString text;
    QFont font;
  };
  // The columns of an entry with their fonts; none when the entry is drawn
  // in one font.
  QList<Cell> cells(const QStyleOptionViewItem& option, const QModelIndex& index) const;
  const ScriptFonts& fontsFor(const QFont& listFont) const;
  // Where a column starts that follows text ending at x: the next stop.
  qreal nextStop(const QList<qreal>& stops, qreal x) const;
  // The script of a column not judged when its entry was built; each text
  // is judged once.
  TextScript judged(const QString& text) const;

  QList<int> stops_;
  bool cell_fonts_ = false;
  mutable std::optional<ScriptFonts> fonts_;
  mutable QHash<QString, TextScript> judged_;
};

}  // namespace reading
