#include "shell/sort_bar.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSettings>
#include <QSignalBlocker>
#include <QStandardItemModel>
#include <QStyle>
#include <QTimer>
#include <algorithm>
#include <iterator>

#include "shell/folim_doc.h"

namespace {

// The keys in the order of the sort controls.
constexpr SortKey kSortKeys[] = {SortKey::Name, SortKey::DateTaken, SortKey::Modified,
                                 SortKey::Size, SortKey::Score};

QString sortCaption(SortKey key) {
  switch (key) {
    case SortKey::Name:
      return CSortBar::tr("&Name");
    case SortKey::DateTaken:
      return CSortBar::tr("Date &Taken");
    case SortKey::Modified:
      return CSortBar::tr("Date &Modified");
    case SortKey::Size:
      return CSortBar::tr("&Size");
    case SortKey::Score:
      return CSortBar::tr("S&core");
  }
  return QString();
}

int indexOfKey(SortKey key) {
  for (int i = 0; i < static_cast<int>(std::size(kSortKeys)); ++i)
    if (kSortKeys[i] == key) return i;
  return 0;
}

const QString kSortSetting = QStringLiteral("browse/sort");
const QString kDescendingSetting = QStringLiteral("browse/descending");

}  // namespace

CSortBar::CSortBar(CFolimDoc& doc, QWidget* parent) : QToolBar(tr("Sort Bar"), parent), doc_(doc) {
  setObjectName(QStringLiteral("sortBar"));
  addWidget(new QLabel(tr("Sort by:") + QLatin1Char(' ')));
  sortCombo_ = new QComboBox;
  sortCombo_->setObjectName(QStringLiteral("sortCombo"));
  auto* keys = new QActionGroup(this);
  sortMenu_ = new QMenu(tr("Sort &By"), this);
  for (const SortKey key : kSortKeys) {
    sortCombo_->addItem(sortCaption(key).remove(QLatin1Char('&')));
    auto* action = new QAction(sortCaption(key), keys);
    action->setCheckable(true);
    const int index = indexOfKey(key);
    connect(action, &QAction::triggered, this, [this, index] { applyOrder(index); });
    sortMenu_->addAction(action);
    sortActions_ << action;
  }
  sortActions_.last()->setStatusTip(tr("Best match first, after a search"));
  addWidget(sortCombo_);
  connect(sortCombo_, &QComboBox::activated, this, &CSortBar::applyOrder);

  descending_ = new QAction(tr("&Descending"), this);
  descending_->setCheckable(true);
  descending_->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
  descending_->setStatusTip(tr("Sorts from the last to the first"));
  connect(descending_, &QAction::triggered, this,
          [this] { applyOrder(sortCombo_->currentIndex()); });
  sortMenu_->addSeparator();
  sortMenu_->addAction(descending_);
  addAction(descending_);

  filterEdit_ = new QLineEdit;
  filterEdit_->setObjectName(QStringLiteral("filterEdit"));
  filterEdit_->setPlaceholderText(tr("Filter names (*.png, 2023...)"));
  filterEdit_->setClearButtonEnabled(true);
  filterEdit_->setMaximumWidth(240);
  addSeparator();
  addWidget(filterEdit_);
  // The list follows the typing once it pauses.
  filterDelay_ = new QTimer(this);
  filterDelay_->setSingleShot(true);
  filterDelay_->setInterval(250);
  connect(filterEdit_, &QLineEdit::textChanged, filterDelay_, qOverload<>(&QTimer::start));
  connect(filterEdit_, &QLineEdit::returnPressed, this, [this] {
    filterDelay_->stop();
    applyOrder(sortCombo_->currentIndex());
  });
  connect(filterDelay_, &QTimer::timeout, this, [this] { applyOrder(sortCombo_->currentIndex()); });
  filter_ = new QAction(tr("&Filter Names\tCtrl+F"), this);
  filter_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
  filter_->setStatusTip(tr("Shows only the pictures whose names hold a text"));
  connect(filter_, &QAction::triggered, this, [this] {
    show();
    filterEdit_->setFocus(Qt::ShortcutFocusReason);
    filterEdit_->selectAll();
  });

  count_ = new QLabel;
  count_->setObjectName(QStringLiteral("listCount"));
  addSeparator();
  addWidget(count_);
  connect(&doc_, &CFolimDoc::listChanged, count_, [this](int shown, int listed) {
    count_->setText(shown == listed ? tr("%1 pictures").arg(listed)
                                    : tr("%1 of %2 pictures").arg(shown).arg(listed));
  });
  connect(&doc_, &CFolimDoc::datesProgress, count_, [this](int done, int total) {
    if (done < total) count_->setText(tr("Reading the dates taken: %1 of %2").arg(done).arg(total));
  });
  connect(&doc_, &CFolimDoc::orderChanged, this, &CSortBar::showOrder);

  const QSettings settings;
  ListOrder order;
  const int key = settings.value(kSortSetting, 0).toInt();
  if (key > 0 && key < indexOfKey(SortKey::Score)) order.key = kSortKeys[key];
  order.descending = settings.value(kDescendingSetting, false).toBool();
  if (order != doc_.order()) doc_.SetOrder(order);
  showOrder();
}

void CSortBar::applyOrder(int key) {
  ListOrder order;
  order.key = kSortKeys[std::clamp(key, 0, static_cast<int>(std::size(kSortKeys)) - 1)];
  order.descending = descending_->isChecked();
  order.filter = filterEdit_->text();
  if (order == doc_.order()) return;
  if (!doc_.SetOrder(order)) {
    showOrder();
    return;
  }
  if (order.key != SortKey::Score) {
    QSettings settings;
    settings.setValue(kSortSetting, indexOfKey(order.key));
    settings.setValue(kDescendingSetting, order.descending);
  }
}

void CSortBar::showOrder() {
  const ListOrder& order = doc_.order();
  const int index = indexOfKey(order.key);
  const QSignalBlocker blocker(sortCombo_);
  sortCombo_->setCurrentIndex(index);
  sortActions_[index]->setChecked(true);
  descending_->setChecked(order.descending);
  // A score is there to sort by only while the list holds a ranking.
  const int score = indexOfKey(SortKey::Score);
  sortActions_[score]->setEnabled(doc_.isRanking());
  if (auto* model = qobject_cast<QStandardItemModel*>(sortCombo_->model()))
    model->item(score)->setEnabled(doc_.isRanking());
}
