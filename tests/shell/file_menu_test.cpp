// The pictures' file menu in the window: on the thumbnails (one and several
// selected) and in the full-size window, every operation with its Undo, the
// questions it asks and the failures it names, the index following the
// files; Find similar ranking the clicked picture first. The trash is a
// private one in the test's folder.
#include <QClipboard>
#include <QDropEvent>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "imageio/signature_source.h"
#include "index/index_location.h"
#include "index/signature_index.h"
#include "shell/file_commands.h"
#include "shell/file_menu.h"
#include "shell/folim_doc.h"
#include "shell/index_setting.h"
#include "shell/list_view_ex.h"
#include "shell/main_frame.h"
#include "shell/native_path.h"
#include "shell/original_image.h"
#include "shell/retrieval_view.h"
#include "shell/tab_view.h"
#include "shell/tree_view_ex.h"
#include "shell_fixture.h"

namespace shell_testing {
namespace {

namespace fs = std::filesystem;

class FileMenuTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    for (const char* name : {"HOME", "XDG_DATA_HOME"}) {
      if (const char* old = std::getenv(name)) saved_.emplace_back(name, old);
    }
    setenv("HOME", temp.path().c_str(), 1);
    setenv("XDG_DATA_HOME", temp.file("data").c_str(), 1);
    previousText_ = setTextHandler([this](const QString& text, const QString& initial) {
      textsAsked << text + " [" + initial + "]";
      return textAnswers.isEmpty() ? QString() : textAnswers.takeFirst();
    });
    previousOpener_ = setUrlOpener([this](const QUrl& url) {
      opened << url.toLocalFile();
      return true;
    });
    fs::create_directory(folder());
    fs::create_directory(temp.file("album"));
    testing_support::copyExamplePhotos(folder(), 3);  // p100.jpg, p101.jpg, p102.jpg
  }
  void TearDown() override {
    setTextHandler(previousText_);
    setUrlOpener(previousOpener_);
    unsetenv("HOME");
    unsetenv("XDG_DATA_HOME");
    for (const auto& [name, value] : saved_) setenv(name.c_str(), value.c_str(), 1);
    ShellTest::TearDown();
  }

  std::string folder() const { return temp.file("pictures"); }
  // The trash in the data folder of the tests' application.
  std::string trash() const {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString() +
           "/Trash";
  }
  std::string picture(const char* name) const { return folder() + "/" + name; }
  QString q(const std::string& path) const { return QString::fromStdString(path); }

  CFileMenu* menu() { return frame->listView()->fileMenu(); }

  // Selects the thumbnails of these rows once the page is in.
  void select(std::initializer_list<int> rows) {
    waitForThumbnails();
    list()->clearSelection();
    for (int row : rows) {
      if (list()->item(row) == nullptr) {
        ADD_FAILURE() << "no thumbnail in row " << row;
        return;
      }
      list()->item(row)->setSelected(true);
    }
  }

  QStringList listedNames() {
    QStringList names;
    for (const ImageEntry& e : doc->entries()) names << q(e.path).section('/', -1);
    return names;
  }

  // The index row of path: its id, or 0 when there is none.
  std::int64_t indexedId(const std::string& path) {
    SignatureIndex index;
    std::string notice, error;
    EXPECT_TRUE(index.Open(defaultIndexPath(), notice, error)) << error;
    IndexRow row;
    return index.Find(path, signatureParametersKey(currentSignatureParameters()), row) ? row.id : 0;
  }

  // Ranks the folder once, so that its pictures are in the index.
  void indexFolder() {
    doc->SelectImage(q(picture("p100.jpg")));
    QSignalSpy finished(retrievalForm(), &CRetrievalView::searchFinished);
    retrievalForm()->Search();
    ASSERT_TRUE(waitUntil([&] { return finished.count() > 0; }));
    doc->Refresh();
    waitForThumbnails();
  }

  QStringList textAnswers, textsAsked, opened;

 private:
  std::vector<std::pair<std::string, std::string>> saved_;
  TextHandler previousText_;
  UrlOpener previousOpener_;
};

TEST_F(FileMenuTest, MoveOfSeveralKeepsTheirRowsAndUndoBringsThemBack) {
  chooseFolder(folder());
  indexFolder();
  const std::int64_t id = indexedId(picture("p101.jpg"));
  ASSERT_NE(id, 0);
  select({1, 2});
  folderAnswers << q(temp.file("album"));
  menu()->moveAction()->trigger();
  EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
  EXPECT_EQ(listedNames(), QStringList{"p100.jpg"});
  EXPECT_TRUE(fs::exists(temp.file("album/p102.jpg")));
  EXPECT_EQ(indexedId(temp.file("album/p101.jpg")), id) << "the row follows, nothing is learned";
  EXPECT_EQ(indexedId(picture("p101.jpg")), 0);
  ASSERT_TRUE(frame->undoAction()->isEnabled());

  frame->undoAction()->trigger();
  EXPECT_EQ(listedNames(), (QStringList{"p100.jpg", "p101.jpg", "p102.jpg"}));
  EXPECT_EQ(indexedId(picture("p101.jpg")), id);
  EXPECT_FALSE(frame->undoAction()->isEnabled());
}

// The full-size window has no caption to edit: a question asks the name.
TEST_F(FileMenuTest, RenameAsksTheNameAndATakenNameAsksWhatToDo) {
  chooseFolder(folder());
  select({0});
  textAnswers << "sea.jpg";
  frame->listView()->fullSizeFileMenu()->renameAction()->trigger();
  EXPECT_EQ(textsAsked, QStringList{"New name of p100.jpg: [p100.jpg]"});
  EXPECT_EQ(listedNames(), (QStringList{"p101.jpg", "p102.jpg", "sea.jpg"}));

  // Onto a taken name: "Keep Both" gives the next free one.
  select({0});
  textAnswers << "sea.jpg";
  choiceAnswer = 1;
  frame->listView()->fullSizeFileMenu()->renameAction()->trigger();
  ASSERT_EQ(choicesAsked.size(), 1);
  EXPECT_EQ(choicesAsked[0], q(folder() + " already holds a file named sea.jpg."));
  EXPECT_EQ(choiceOptions, (QStringList{"Replace", "Keep Both", "Skip"}));
  EXPECT_EQ(listedNames(), (QStringList{"p102.jpg", "sea (2).jpg", "sea.jpg"}));

  frame->undoAction()->trigger();
  EXPECT_EQ(listedNames(), (QStringList{"p101.jpg", "p102.jpg", "sea.jpg"}));
}

// On the thumbnails the caption becomes the editor of the name: Enter
// renames (the row follows the file), Esc and an unchanged name leave it.
TEST_F(FileMenuTest, RenameInPlaceEditsTheCaption) {
  chooseFolder(folder());
  indexFolder();
  const std::int64_t id = indexedId(picture("p100.jpg"));
  ASSERT_NE(id, 0);
  // The editor open on a caption (a closed one is hidden, then deleted).
  const auto openEditor = [&]() -> QLineEdit* {
    for (QLineEdit* line : list()->viewport()->findChildren<QLineEdit*>())
      if (!line->isHidden()) return line;
    return nullptr;
  };
  const auto edit = [&](int row) {
    select({row});
    menu()->renameAction()->trigger();
    return openEditor();
  };
  const auto finishEdit = [&](QLineEdit* editor, const QString& text, Qt::Key key) {
    editor->setText(text);
    QTest::keyClick(editor, key);
    QTest::qWait(50);
    EXPECT_TRUE(waitUntil([&] { return openEditor() == nullptr; }));
  };

  QLineEdit* editor = edit(0);
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->text(), "p100.jpg");
  EXPECT_TRUE(waitUntil([&] { return editor->selectedText() == "p100"; }))
      << "the extension is left out of the selection: " << editor->selectedText().toStdString();
  finishEdit(editor, "sea.jpg", Qt::Key_Return);
  ASSERT_TRUE(waitUntil([&] { return listedNames().contains("sea.jpg"); }));
  EXPECT_EQ(listedNames(), (QStringList{"p101.jpg", "p102.jpg", "sea.jpg"}));
  EXPECT_TRUE(textsAsked.isEmpty()) << "no question";
  EXPECT_EQ(indexedId(picture("sea.jpg")), id);

  editor = edit(0);
  ASSERT_NE(editor, nullptr);
  finishEdit(editor, "lake.jpg", Qt::Key_Escape);
  editor = edit(1);
  ASSERT_NE(editor, nullptr);
  finishEdit(editor, "p102.jpg", Qt::Key_Return);
  EXPECT_EQ(listedNames(), (QStringList{"p101.jpg", "p102.jpg", "sea.jpg"}));
  EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
  EXPECT_TRUE(choicesAsked.isEmpty());

  // Several selected: nothing to edit.
  select({0, 1});
  menu()->renameAction()->trigger();
  EXPECT_EQ(openEditor(), nullptr);

  frame->undoAction()->trigger();
  EXPECT_EQ(listedNames(), (QStringList{"p100.jpg", "p101.jpg", "p102.jpg"}));
}

// Files dropped on a folder of the tree (as the thumbnails leave the list)
// at the folder's row; the drop action the tree chose.
Qt::DropAction dropOnTree(CTreeViewEx* tree, const QStringList& files, const QString& folder,
                          Qt::KeyboardModifiers modifiers) {
  const QModelIndex index = tree->fileSystemModel()->index(folder);
  for (QModelIndex i = index.parent(); i.isValid(); i = i.parent()) tree->expand(i);
  tree->scrollTo(index);
  if (!waitUntil([&] { return !tree->visualRect(index).isEmpty(); })) {
    ADD_FAILURE() << "the tree does not show " << folder.toStdString();
    return Qt::IgnoreAction;
  }
  QMimeData data;
  QList<QUrl> urls;
  for (const QString& file : files) urls << toLocalFileUrl(file);
  data.setUrls(urls);
  const QPoint at = tree->visualRect(index).center();
  const Qt::DropActions offered = Qt::MoveAction | Qt::CopyAction;
  QDragEnterEvent enter(at, offered, &data, Qt::LeftButton, modifiers);
  QCoreApplication::sendEvent(tree->viewport(), &enter);
  QDragMoveEvent move(at, offered, &data, Qt::LeftButton, modifiers);
  QCoreApplication::sendEvent(tree->viewport(), &move);
  if (!move.isAccepted()) return Qt::IgnoreAction;
  QDropEvent dropped(QPointF(at), offered, &data, Qt::LeftButton, modifiers);
  QCoreApplication::sendEvent(tree->viewport(), &dropped);
  // The files are handled once the drag is over.
  QCoreApplication::processEvents();
  return dropped.isAccepted() ? dropped.dropAction() : Qt::IgnoreAction;
}

TEST_F(FileMenuTest, ThumbnailsDroppedOnTheTreeMoveOrWithCtrlCopy) {
  chooseFolder(folder());
  indexFolder();
  const std::int64_t id = indexedId(picture("p101.jpg"));
  ASSERT_NE(id, 0);
  const QString album = q(temp.file("album"));
  CTreeViewEx* tree = frame->treeView();

  EXPECT_EQ(
      dropOnTree(tree, {q(picture("p101.jpg")), q(picture("p102.jpg"))}, album, Qt::NoModifier),
      Qt::MoveAction);
  EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
  EXPECT_EQ(listedNames(), QStringList{"p100.jpg"});
  EXPECT_TRUE(fs::exists(temp.file("album/p102.jpg")));
  EXPECT_EQ(indexedId(temp.file("album/p101.jpg")), id) << "the row follows the file";
  EXPECT_EQ(tree->selectedPath, q(folder())) << "the folder listed stays";

  // Ctrl copies; a name taken asks, and Skip leaves both files as they are.
  EXPECT_EQ(dropOnTree(tree, {q(picture("p100.jpg"))}, album, Qt::ControlModifier), Qt::CopyAction);
  EXPECT_TRUE(fs::exists(picture("p100.jpg")));
  EXPECT_TRUE(fs::exists(temp.file("album/p100.jpg")));
  choiceAnswer = 2;
  dropOnTree(tree, {q(picture("p100.jpg"))}, album, Qt::ControlModifier);
  EXPECT_EQ(choicesAsked.size(), 1);
  // Onto the folder they are in: nothing to do, nothing asked.
  dropOnTree(tree, {q(picture("p100.jpg"))}, q(folder()), Qt::NoModifier);
  EXPECT_EQ(choicesAsked.size(), 1);
  EXPECT_EQ(listedNames(), QStringList{"p100.jpg"});

  // Undo takes back the move (a copy is no step of its own).
  frame->undoAction()->trigger();
  EXPECT_EQ(listedNames(), (QStringList{"p100.jpg", "p101.jpg", "p102.jpg"}));
  EXPECT_EQ(indexedId(picture("p101.jpg")), id);
}

TEST_F(FileMenuTest, TrashFromTheFullSizeWindowLeavesTheIndexAndUndoRestores) {
  chooseFolder(folder());
  indexFolder();
  doc->SelectImage(q(picture("p102.jpg")));
  frame->listView()->fullSizeFileMenu()->trashAction()->trigger();
  EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
  EXPECT_TRUE(fs::exists(trash() + "/files/p102.jpg"));
  EXPECT_TRUE(fs::exists(trash() + "/info/p102.jpg.trashinfo"));
  EXPECT_EQ(indexedId(picture("p102.jpg")), 0);
  EXPECT_EQ(listedNames(), (QStringList{"p100.jpg", "p101.jpg"}));

  frame->undoAction()->trigger();
  EXPECT_FALSE(fs::exists(trash() + "/files/p102.jpg"));
  EXPECT_NE(indexedId(picture("p102.jpg")), 0);
  EXPECT_EQ(listedNames(), (QStringList{"p100.jpg", "p101.jpg", "p102.jpg"}));
}

TEST_F(FileMenuTest, FailureNamesTheFileAndTheCause) {
  chooseFolder(folder());
  select({0});
  fs::remove(picture("p100.jpg"));
  folderAnswers << q(temp.file("album"));
  menu()->copyAction()->trigger();
  ASSERT_EQ(messages.size(), 1);
  EXPECT_EQ(messages[0], "These files could not be handled:\n" + q(picture("p100.jpg")) +
                             ": No such file or directory");
}

TEST_F(FileMenuTest, CopyPathOpenAndShowActOnTheSelection) {
  chooseFolder(folder());
  select({0, 2});
  menu()->copyPathAction()->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->text(),
            q(picture("p100.jpg") + "\n" + picture("p102.jpg")));
  menu()->openAction()->trigger();
  select({1});
  menu()->showAction()->trigger();
  EXPECT_EQ(opened, (QStringList{q(picture("p100.jpg")), q(picture("p102.jpg")), q(folder())}));
}

TEST_F(FileMenuTest, MenuEnablesWhatApplies) {
  chooseFolder(folder());
  select({0, 1});
  menu()->updateActions();
  EXPECT_TRUE(menu()->moveAction()->isEnabled());
  EXPECT_FALSE(menu()->renameAction()->isEnabled());
  EXPECT_FALSE(menu()->similarHereAction()->isEnabled());
  EXPECT_FALSE(menu()->backAction()->isEnabled());
}

TEST_F(FileMenuTest, FindSimilarRanksTheClickedPictureFirstAndGoesBack) {
  testing_support::copyExamplePhotos(folder(), 6);
  chooseFolder(folder());
  // p100.jpg ... p105.jpg: aqua, blinds, dune, ladybird (PNG), aqua, blinds.
  select({2});
  QSignalSpy finished(retrievalForm(), &CRetrievalView::searchFinished);
  menu()->similarHereAction()->trigger();
  ASSERT_TRUE(waitUntil([&] { return finished.count() > 0; }));
  EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
  ASSERT_TRUE(doc->isRanking());
  ASSERT_EQ(doc->entries().size(), 6u);
  EXPECT_EQ(doc->entries()[0].path, picture("p102.jpg"));
  EXPECT_EQ(doc->currentPath(), q(picture("p102.jpg"))) << "the query stays shown";
  EXPECT_EQ(frame->tabView()->currentIndex(), CTabView::kRetrieval);

  // Every folder the index holds: the album's copy ranks with them.
  fs::copy_file(picture("p102.jpg"), temp.file("album/copy.jpg"));
  chooseFolder(temp.file("album"));
  indexFolder();
  select({0});
  QSignalSpy finishedEverywhere(retrievalForm(), &CRetrievalView::searchFinished);
  menu()->similarEverywhereAction()->trigger();
  ASSERT_TRUE(waitUntil([&] { return finishedEverywhere.count() > 0; }));
  ASSERT_TRUE(doc->isRanking());
  QStringList ranked;
  for (const ImageEntry& e : doc->entries()) ranked << q(e.path);
  ASSERT_EQ(ranked.size(), 7);
  // The copy and its original score alike, ahead of the rest.
  EXPECT_EQ(QSet<QString>(ranked.begin(), ranked.begin() + 2),
            (QSet<QString>{q(temp.file("album/copy.jpg")), q(picture("p102.jpg"))}));

  menu()->updateActions();
  ASSERT_TRUE(menu()->backAction()->isEnabled());
  menu()->backAction()->trigger();
  waitForThumbnails();
  EXPECT_FALSE(doc->isRanking());
  EXPECT_EQ(listedNames(), QStringList{"copy.jpg"});
}

// The index chosen in the Edit menu is the one the window's searches fill
// and its file operations follow; one that does not open is named and the
// setting stays.
TEST_F(FileMenuTest, TheIndexChosenInTheEditMenuIsTheOneUsed) {
  auto* choose = frame->findChild<QAction*>(QStringLiteral("indexAction"));
  ASSERT_NE(choose, nullptr);
  textAnswers << "postgresql:///folim?host=" + q(temp.file("no-server"));
  choose->trigger();
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].startsWith("Cannot open the index postgresql:///folim"))
      << messages[0].toStdString();
  EXPECT_EQ(windowIndexName(), QString());
  messages.clear();
  // A password is never shown.
  textAnswers << "postgresql://folim:secret@/folim?host=" + q(temp.file("no-server"));
  choose->trigger();
  ASSERT_EQ(messages.size(), 1);
  EXPECT_FALSE(messages[0].contains("secret")) << messages[0].toStdString();
  messages.clear();

  const std::string mine = temp.file("mine.sqlite");
  textAnswers << " " + q(mine) + " ";
  choose->trigger();
  EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
  EXPECT_EQ(windowIndexName(), q(mine));
  EXPECT_EQ(textsAsked.last().section('[', -1), "default]") << "the default is shown by name";
  chooseFolder(folder());
  indexFolder();
  EXPECT_EQ(indexedId(picture("p101.jpg")), 0) << "the default index is left alone";
  SignatureIndex index;
  std::string notice, error;
  ASSERT_TRUE(index.Open(mine, notice, error)) << error;
  IndexRow row;
  const std::string params = signatureParametersKey(currentSignatureParameters());
  ASSERT_TRUE(index.Find(picture("p101.jpg"), params, row));
  // A rename follows in the index chosen.
  select({1});
  textAnswers << "renamed.jpg";
  frame->listView()->fullSizeFileMenu()->renameAction()->trigger();
  IndexRow renamed;
  ASSERT_TRUE(index.Find(picture("renamed.jpg"), params, renamed));
  EXPECT_EQ(renamed.id, row.id);
  EXPECT_TRUE(frame->undoAction()->isEnabled());

  textAnswers << "default";
  choose->trigger();
  EXPECT_EQ(windowIndexName(), QString());
  EXPECT_FALSE(frame->undoAction()->isEnabled()) << "the rename was kept in the other index";
}

}  // namespace
}  // namespace shell_testing
