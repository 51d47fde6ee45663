// The keys as the user reads them: menu captions without a mnemonic in the
// shortcut column, and Help > Keyboard Shortcuts listing every key.
#include <QAction>
#include <QImage>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>
#include <QTableWidget>
#include <memory>

#include "shell/folim_doc.h"
#include "shell/keyboard_shortcuts.h"
#include "shell/main_frame.h"
#include "shell_fixture.h"

namespace shell_testing {
namespace {

struct CaptionCase {
  const char* caption;
  const char* shown;  // as the menu draws it
  const char* plain;  // as the key list names it
};

const CaptionCase kCaptions[] = {
    {"開く...\tCtrl+O(&O)", "開く(&O)...\tCtrl+O", "開く"},
    {"保存\tCtrl+S(&S)", "保存(&S)\tCtrl+S", "保存"},
    {"最新の情報に更新\tF5(&R)", "最新の情報に更新(&R)\tF5", "最新の情報に更新"},
    {"&Open...\tCtrl+O", "&Open...\tCtrl+O", "Open"},
    {"ツール バー(&T)", "ツール バー(&T)", "ツール バー"},
    {"Save && Close", "Save && Close", "Save & Close"},
    {"E&xit", "E&xit", "Exit"},
};

TEST(MenuCaptionTest, MnemonicLeavesTheShortcutColumn) {
  for (const CaptionCase& c : kCaptions) {
    SCOPED_TRACE(c.caption);
    EXPECT_EQ(MenuItemDisplayText(QString::fromUtf8(c.caption)), QString::fromUtf8(c.shown));
    EXPECT_EQ(PlainActionText(QString::fromUtf8(c.caption)), QString::fromUtf8(c.plain));
  }
}

// The menu item as a style draws it.
QImage drawnItem(const QStyle& style, const QString& text) {
  QImage image(240, 24, QImage::Format_ARGB32);
  image.fill(Qt::white);
  QStyleOptionMenuItem item;
  item.menuItemType = QStyleOptionMenuItem::Normal;
  item.state = QStyle::State_Enabled;
  item.text = text;
  item.rect = image.rect();
  item.fontMetrics = QFontMetrics(QFont());
  item.palette = QPalette(Qt::black, Qt::white);
  QPainter painter(&image);
  style.drawControl(QStyle::CE_MenuItem, &item, &painter);
  return image;
}

TEST(MenuCaptionTest, StyleDrawsTheShownCaption) {
  ensureApplication();
  const CMenuTextStyle style(QStyleFactory::create(QStringLiteral("Fusion")));
  const std::unique_ptr<QStyle> plain(QStyleFactory::create(QStringLiteral("Fusion")));
  const QString stored = QStringLiteral("開く...\tCtrl+O(&O)");
  const QString shown = QStringLiteral("開く(&O)...\tCtrl+O");
  EXPECT_EQ(drawnItem(style, stored), drawnItem(*plain, shown));
  EXPECT_NE(drawnItem(*plain, stored), drawnItem(*plain, shown));
  QStyleOptionMenuItem item;
  item.menuItemType = QStyleOptionMenuItem::Normal;
  item.text = stored;
  item.fontMetrics = QFontMetrics(QFont());
  QStyleOptionMenuItem moved = item;
  moved.text = shown;
  const QSize size(100, 20);
  EXPECT_EQ(style.sizeFromContents(QStyle::CT_MenuItem, &item, size, nullptr),
            plain->sizeFromContents(QStyle::CT_MenuItem, &moved, size, nullptr));
}

TEST(ShortcutRowsTest, OneRowPerActionWithAKey) {
  ensureApplication();
  QAction open(QStringLiteral("&Open...\tCtrl+O"));
  open.setShortcut(QKeySequence(QStringLiteral("Ctrl+O")));
  QAction zoom(QStringLiteral("Zoom &In"));
  zoom.setShortcuts(
      {QKeySequence(Qt::Key_Plus), QKeySequence(Qt::Key_Equal), QKeySequence(Qt::Key_Plus)});
  QAction keyless(QStringLiteral("Recent Files"));
  QAction separator;
  separator.setSeparator(true);
  const std::vector<ShortcutRow> rows = ShortcutRows({&open, &keyless, &zoom, &separator, &open});
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].action, "Open");
  EXPECT_EQ(rows[0].keys, "Ctrl+O");
  EXPECT_EQ(rows[1].action, "Zoom In");
  EXPECT_EQ(rows[1].keys, "+, =");
}

using KeysDialogTest = ShellTest;

TEST_F(KeysDialogTest, ListsEveryKeyOfTheWindow) {
  CKeysDialog dialog(ShortcutRows(frame->allActions()));
  QStringList keys;
  for (int r = 0; r < dialog.table()->rowCount(); ++r) {
    EXPECT_FALSE(dialog.table()->item(r, 0)->text().isEmpty());
    keys += dialog.table()->item(r, 1)->text().split(QStringLiteral(", "));
  }
  for (const char* key :
       {"Ctrl+O",   "Ctrl+S", "Ctrl+N", "F5",  "F1",    "F6",        "Shift+F6", "F11",
        "Shift+F5", "Ctrl+L", "Ctrl+R", "Esc", "Space", "Backspace", "Left",     "Right",
        "Up",       "Down",   "+",      "-",   "0",     "1",         "Ctrl+I",   "Ctrl+F"}) {
    EXPECT_TRUE(keys.contains(QString::fromLatin1(key))) << key;
  }
  EXPECT_EQ(frame->keysAction()->shortcut(), QKeySequence(Qt::Key_F1));
}

}  // namespace
}  // namespace shell_testing
