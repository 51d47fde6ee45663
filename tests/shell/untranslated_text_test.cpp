// In Japanese every text of the window is Japanese: the main window walked
// widget by widget (labels, buttons, tabs, lists, menus, actions, tooltips,
// titles), its dialogs and the messages it shows. Whatever a later change
// adds to the window is walked too.
#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableWidget>

#include "shell/about_dialog.h"
#include "shell/convert2bmp_view.h"
#include "shell/duplicates_view.h"
#include "shell/folim_doc.h"
#include "shell/keyboard_shortcuts.h"
#include "shell/list_view_ex.h"
#include "shell/main_frame.h"
#include "shell/original_image.h"
#include "shell/progress_dialog.h"
#include "shell/tab_view.h"
#include "shell/translations.h"
#include "shell_fixture.h"

namespace shell_testing {
namespace {

// Words that stay as they are in Japanese, each with its reason.
const struct {
  const char* word;
  const char* reason;
} kAllowed[] = {
    {"Folim", "the program's name"},
    {"Hobeka", "the name of the version"},
    {"RIM", "the name of the file format"},
    {"BMP", "the name of the file format"},
    {"JPEG", "the name of the file format"},
    {"PCA", "a method's name, passed to the encoder as it is"},
    {"ICA", "a method's name, passed to the encoder as it is"},
    {"MPEG-7 CSD", "the name of a standard colour descriptor"},
    {"config.ini", "a file name"},
    {"PostgreSQL", "the name of a database server"},
    {"SQLite", "the name of a database file format"},
    {"CAP", "the lock indicators' own names"},
    {"NUM", "the lock indicators' own names"},
    {"SCRL", "the lock indicators' own names"},
    {"OK", "written so in Japanese too"},
};

// The text with what may stay in Latin letters taken out: key names after a
// tab, mnemonics, allowed words, paths and file names.
QString withoutAllowed(QString text) {
  text = text.section(QLatin1Char('\t'), 0, 0);
  text.remove(QRegularExpression(QStringLiteral("\\(&.\\)")));
  for (const auto& allowed : kAllowed) text.remove(QString::fromUtf8(allowed.word));
  text.remove(QRegularExpression(QStringLiteral("/\\S*")));
  text.remove(QRegularExpression(QStringLiteral("\\S+\\.(png|jpg|rim|bmp)\\b")));
  return text;
}

bool isEnglish(const QString& text) {
  static const QRegularExpression word(QStringLiteral("[A-Za-z]{2,}"));
  return withoutAllowed(text).contains(word);
}

// Every text a user can read in root and what it holds, with where it is.
class TextWalk {
 public:
  void widget(QWidget* root) {
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* w : widgets) visit(w);
  }
  void text(const QString& where, const QString& text) {
    if (!text.isEmpty()) texts << where + QStringLiteral(": ") + text;
    if (isEnglish(text)) english << where + QStringLiteral(": ") + text;
  }

  QStringList texts;
  QStringList english;

 private:
  void visit(QWidget* w) {
    const QString name =
        QString::fromLatin1(w->metaObject()->className()) + QLatin1Char(' ') + w->objectName();
    if (w->isWindow()) text(name + " title", w->windowTitle());
    text(name + " tooltip", w->toolTip());
    text(name + " status tip", w->statusTip());
    text(name + " what's this", w->whatsThis());
    if (auto* label = qobject_cast<QLabel*>(w)) text(name, label->text());
    if (auto* button = qobject_cast<QAbstractButton*>(w)) text(name, button->text());
    if (auto* group = qobject_cast<QGroupBox*>(w)) text(name, group->title());
    if (auto* edit = qobject_cast<QLineEdit*>(w))
      text(name + " placeholder", edit->placeholderText());
    if (auto* menu = qobject_cast<QMenu*>(w)) text(name, menu->title());
    if (auto* tabs = qobject_cast<QTabWidget*>(w)) {
      for (int i = 0; i < tabs->count(); ++i) {
        text(name + " tab", tabs->tabText(i));
        text(name + " tab tooltip", tabs->tabToolTip(i));
      }
    }
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
      for (int i = 0; i < combo->count(); ++i) text(name + " item", combo->itemText(i));
    }
    if (auto* table = qobject_cast<QTableWidget*>(w)) {
      for (int c = 0; c < table->columnCount(); ++c) {
        if (table->horizontalHeaderItem(c) != nullptr)
          text(name + " header", table->horizontalHeaderItem(c)->text());
        // The key column holds key names.
        for (int r = 0; r < table->rowCount() && c == 0; ++r)
          text(name + " row", table->item(r, c)->text());
      }
    }
    for (QAction* action : w->actions()) visitAction(name, action);
  }
  void visitAction(const QString& owner, QAction* action) {
    if (action->isSeparator() || seen.contains(action)) return;
    seen << action;
    const QString name = owner + " action " + action->text();
    text(name, action->text());
    text(name + " tooltip", action->toolTip());
    text(name + " status tip", action->statusTip());
    if (action->menu() != nullptr) widget(action->menu());
  }

  QList<QAction*> seen;
};

TEST(UntranslatedTextTest, EnglishIsFoundAndAllowedWordsAreNot) {
  EXPECT_TRUE(isEnglish("Convert"));
  EXPECT_TRUE(isEnglish("変換 Folder"));
  EXPECT_FALSE(isEnglish("開く...\tCtrl+O(&O)"));
  EXPECT_FALSE(isEnglish("Folim - /tmp/somewhere/pic.png"));
  EXPECT_FALSE(isEnglish("バージョン情報 Folim(&A)..."));
  EXPECT_FALSE(isEnglish("%1 %"));
  EXPECT_FALSE(isEnglish("PCA"));
}

class JapaneseWindowTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    installTranslations(QLocale(QStringLiteral("ja_JP")));
    shownDoc = std::make_unique<CFolimDoc>();
    shown = std::make_unique<CMainFrame>(*shownDoc);
    shown->resize(1000, 700);
    shown->show();
  }
  void TearDown() override {
    shown.reset();
    shownDoc.reset();
    installTranslations(QLocale(QLocale::English));
    ShellTest::TearDown();
  }

  std::unique_ptr<CFolimDoc> shownDoc;
  std::unique_ptr<CMainFrame> shown;
};

TEST_F(JapaneseWindowTest, EveryTextOfTheWindowIsJapanese) {
  TextWalk walk;
  // Before a folder is listed (the empty list's hint shows).
  walk.widget(shown.get());
  // A folder with pictures, one chosen: the title, the forms' states.
  writeImage(temp.file("pic.png"), 40, 30);
  writeImage(temp.file("other.png"), 30, 40);
  shown->treeView();
  shownDoc->ListFolder(QString::fromStdString(temp.path()));
  ASSERT_TRUE(waitUntil([&] { return !shownDoc->IsLoadingThumbnails(); }));
  shownDoc->SelectRow(0);
  walk.widget(shown.get());
  // Each form shown in turn.
  for (int tab = 0; tab < shown->tabView()->count(); ++tab) {
    shown->tabView()->setCurrentIndex(tab);
    walk.widget(shown->tabView()->currentWidget());
  }
  // The windows and dialogs of the window.
  COriginalImage* picture = shown->listView()->fullSizeWindow();
  shownDoc->ShowFullSize();
  walk.widget(picture);
  picture->hide();
  CProgressDialog* progress = shown->listView()->progressDialog();
  walk.widget(progress);
  progress->SetLoadingProgress(1, 2);
  walk.widget(progress);
  walk.widget(shown->duplicatesView());
  CAboutDlg about(shown.get());
  walk.widget(&about);
  CKeysDialog keys(ShortcutRows(shown->allActions()), shown.get());
  walk.widget(&keys);
  EXPECT_GT(walk.texts.size(), 100) << walk.texts.join("\n").toStdString();
  EXPECT_TRUE(walk.english.isEmpty()) << walk.english.join("\n").toStdString();
}

TEST_F(JapaneseWindowTest, MessagesAndQuestionsAreJapanese) {
  // Saving with nothing chosen, a drop of two files and of a non-image.
  shown->OnFileSave();
  shown->listView()->DropFiles({"/a.png", "/b.png"});
  writeImage(temp.file("pic.png"), 16, 16);
  testing_support::writeFileBytes(temp.file("notes.txt"), "x");
  shown->listView()->DropFiles({QString::fromStdString(temp.file("notes.txt"))});
  // A conversion into a folder that does not exist, then into one that
  // holds its output.
  shownDoc->ListFolder(QString::fromStdString(temp.path()));
  ASSERT_TRUE(waitUntil([&] { return !shownDoc->IsLoadingThumbnails(); }));
  CConvert2BMPView* bmp = shown->tabView()->convert2BmpView();
  shown->tabView()->setCurrentIndex(CTabView::kConvertToBmp);
  questionAnswer = false;
  bmp->saveDirEdit()->setText(QString::fromStdString(temp.file("missing")));
  bmp->OnConvert();
  ASSERT_TRUE(waitUntil([&] { return !shownDoc->IsBusy(); }));
  testing_support::writeFileBytes(temp.file("pic.bmp"), "x");
  choiceAnswer = 2;
  bmp->saveDirEdit()->setText(QString::fromStdString(temp.path()));
  bmp->OnConvert();
  TextWalk walk;
  for (const QString& message : messages) walk.text("message", message);
  for (const QString& question : questions) walk.text("question", question);
  for (const QString& choice : choicesAsked) walk.text("choice", choice);
  for (const QString& option : choiceOptions) walk.text("choice button", option);
  EXPECT_GE(messages.size(), 4) << messages.join("\n").toStdString();
  EXPECT_EQ(questions.size(), 1);
  EXPECT_EQ(choicesAsked.size(), 1);
  EXPECT_TRUE(walk.english.isEmpty()) << walk.english.join("\n").toStdString();
}

}  // namespace
}  // namespace shell_testing
