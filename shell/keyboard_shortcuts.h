// The keys of the window as the user reads them: the menu captions shown
// without a mnemonic doubled into the shortcut column, and the list that
// Help > Keyboard Shortcuts shows.
#pragma once

#include <QDialog>
#include <QList>
#include <QProxyStyle>
#include <QString>
#include <vector>

class QAction;
class QTableWidget;

// A caption whose shortcut part carries the mnemonic ("開く...\tCtrl+O(&O)")
// has it moved to the label ("開く(&O)...\tCtrl+O"); other captions stay.
QString MenuItemDisplayText(const QString& caption);

// What a caption says without its mnemonic and its shortcut part.
QString PlainActionText(const QString& caption);

struct ShortcutRow {
  QString action;  // plain text
  QString keys;    // every key of the action, in the platform's words
};

// One row per action that has a key, in the order given, each action once;
// separators and actions without a key or text are left out.
std::vector<ShortcutRow> ShortcutRows(const QList<QAction*>& actions);

// Draws and sizes menu items with MenuItemDisplayText, so that a stored
// caption keeps its text while the shortcut column shows only the key.
class CMenuTextStyle : public QProxyStyle {
  Q_OBJECT

 public:
  using QProxyStyle::QProxyStyle;
  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget = nullptr) const override;
  QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                         const QWidget* widget = nullptr) const override;
};

// Help > Keyboard Shortcuts: a two-column table of the rows.
class CKeysDialog : public QDialog {
  Q_OBJECT

 public:
  CKeysDialog(const std::vector<ShortcutRow>& rows, QWidget* parent = nullptr);
  QTableWidget* table() const { return table_; }

 private:
  QTableWidget* table_;
};
