#include "shell/file_menu.h"

#include <utility>

#include "shell/file_commands.h"
#include "shell/folim_doc.h"

CFileMenu::CFileMenu(CFileCommands& commands, CFolimDoc& doc, QWidget* owner,
                     std::function<QStringList()> targets,
                     std::function<void(const QString&)> rename)
    : QMenu(owner), doc_(doc), owner_(owner), targets_(std::move(targets)) {
  if (!rename) rename = [&commands](const QString& file) { commands.Rename(file); };
  setTitle(tr("&Picture File"));
  open_ = add(tr("&Open with Default Program"),
              [&commands](const QStringList& files) { commands.OpenWithDefault(files); });
  addSeparator();
  copy_ = add(tr("&Copy to..."),
              [&commands, owner](const QStringList& files) { commands.CopyTo(files, owner); });
  move_ = add(tr("&Move to..."),
              [&commands, owner](const QStringList& files) { commands.MoveTo(files, owner); });
  rename_ = add(tr("&Rename...\tF2"), [rename](const QStringList& files) {
    if (files.size() == 1) rename(files.first());
  });
  rename_->setShortcut(QKeySequence(Qt::Key_F2));
  trash_ = add(tr("Move to &Trash\tDel"),
               [&commands](const QStringList& files) { commands.MoveToTrash(files); });
  trash_->setShortcut(QKeySequence(QKeySequence::Delete));
  addSeparator();
  show_ = add(tr("&Show in File Manager"),
              [&commands](const QStringList& files) { commands.ShowInFileManager(files.first()); });
  copyPath_ =
      add(tr("Copy &Path"), [&commands](const QStringList& files) { commands.CopyPath(files); });
  addSeparator();
  similarHere_ = add(tr("Find &Similar in This Folder"),
                     [this](const QStringList& files) { emit findSimilar(files.first(), false); });
  similarEverywhere_ =
      add(tr("Find Similar in &Every Indexed Folder"),
          [this](const QStringList& files) { emit findSimilar(files.first(), true); });
  back_ = new QAction(tr("&Back to the Folder"), this);
  connect(back_, &QAction::triggered, &doc_, &CFolimDoc::Refresh);
  addAction(back_);
  for (QAction* action : {rename_, trash_}) {
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    owner->addAction(action);
  }
  // Shown, the menu tells what applies; its keys check for themselves.
  connect(this, &QMenu::aboutToShow, this, &CFileMenu::updateActions);
  connect(this, &QMenu::aboutToHide, this, [this] {
    for (QAction* action : actions()) action->setEnabled(true);
  });
}

QAction* CFileMenu::add(const QString& text, const std::function<void(const QStringList&)>& act) {
  auto* action = new QAction(text, this);
  connect(action, &QAction::triggered, this, [this, act] {
    const QStringList files = targets_();
    if (!files.isEmpty()) act(files);
  });
  addAction(action);
  return action;
}

void CFileMenu::updateActions() {
  const int count = static_cast<int>(targets_().size());
  for (QAction* action : {open_, copy_, move_, trash_, copyPath_}) action->setEnabled(count > 0);
  for (QAction* action : {rename_, show_, similarHere_, similarEverywhere_})
    action->setEnabled(count == 1);
  back_->setEnabled(doc_.isRanking());
}
