#include "shell/duplicates_view.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "shell/duplicates_model.h"
#include "shell/file_dialogs.h"
#include "shell/folim_doc.h"
#include "shell/messages.h"

namespace {

constexpr int kIconSize = 48;
// Where an item keeps the group and file it shows.
constexpr int kGroupRole = Qt::UserRole;
constexpr int kFileRole = Qt::UserRole + 1;

// The measures offered, in the combo's order, each with the threshold it
// starts at.
struct Measure {
  ColorMode mode;
  double threshold;
};
constexpr Measure kMeasures[] = {{ColorMode::ColorStructure, kDefaultDuplicateThreshold},
                                 {ColorMode::Robust, kRobustDuplicateThreshold}};

int sliderValue(double threshold) { return static_cast<int>(threshold * 100 + 0.5); }

QIcon thumbnailOf(const QString& path) {
  QImageReader reader(path);
  reader.setAutoTransform(true);
  const QSize size = reader.size();
  if (size.isValid()) reader.setScaledSize(size.scaled(kIconSize, kIconSize, Qt::KeepAspectRatio));
  return QIcon(QPixmap::fromImage(reader.read()));
}

}  // namespace

CDuplicatesView::CDuplicatesView(CFolimDoc& doc, CFileCommands& commands, QWidget* parent)
    : QDialog(parent),
      doc_(doc),
      model_(new CDuplicatesModel(doc, commands, this)),
      folders_(new QLineEdit(this)),
      recursive_(new QCheckBox(tr("Include Sub Directory"), this)),
      measure_(new QComboBox(this)),
      slider_(new QSlider(Qt::Horizontal, this)),
      thresholdLabel_(new QLabel(this)),
      find_(new QPushButton(tr("Find Duplicates"), this)),
      cancel_(new QPushButton(tr("Cancel"), this)),
      status_(new QLabel(this)),
      order_(new QComboBox(this)),
      tree_(new QTreeWidget(this)),
      trash_(new QPushButton(tr("Move Marked to Trash"), this)) {
  setObjectName(QStringLiteral("duplicatesView"));
  setWindowTitle(tr("Duplicates"));
  auto* layout = new QVBoxLayout(this);

  auto* where = new QHBoxLayout;
  where->addWidget(new QLabel(tr("Folders:"), this));
  folders_->setToolTip(tr("Folders separated by \";\""));
  where->addWidget(folders_, 1);
  auto* add = new QPushButton(tr("Add Folder..."), this);
  where->addWidget(add);
  where->addWidget(recursive_);
  layout->addLayout(where);

  auto* how = new QHBoxLayout;
  how->addWidget(new QLabel(tr("Measure:"), this));
  // The names the retrieval form gives the same measures.
  measure_->addItem(QStringLiteral("MPEG-7 CSD"));
  measure_->addItem(tr("Robust"));
  how->addWidget(measure_);
  how->addWidget(new QLabel(tr("Similarity threshold:"), this));
  slider_->setRange(0, 100);
  slider_->setValue(sliderValue(kMeasures[0].threshold));
  how->addWidget(slider_, 1);
  how->addWidget(thresholdLabel_);
  how->addWidget(find_);
  how->addWidget(cancel_);
  layout->addLayout(how);
  layout->addWidget(status_);

  auto* order = new QHBoxLayout;
  order->addWidget(new QLabel(tr("Groups:"), this));
  order_->addItem(tr("Most pictures first"));
  order_->addItem(tr("Most alike first"));
  order->addWidget(order_);
  order->addStretch(1);
  layout->addLayout(order);

  tree_->setColumnCount(6);
  tree_->setHeaderLabels(
      {tr("Picture"), tr("Score"), tr("Pixels"), tr("File Size"), tr("Date"), tr("Folder")});
  tree_->setIconSize(QSize(kIconSize, kIconSize));
  tree_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  layout->addWidget(tree_, 1);

  auto* keep = new QHBoxLayout;
  auto* largest = new QPushButton(tr("Keep the Largest"), this);
  auto* oldest = new QPushButton(tr("Keep the Oldest"), this);
  auto* inFolder = new QPushButton(tr("Keep the One in Folder..."), this);
  keep->addWidget(largest);
  keep->addWidget(oldest);
  keep->addWidget(inFolder);
  keep->addStretch(1);
  keep->addWidget(trash_);
  layout->addLayout(keep);
  resize(900, 600);

  const auto showThreshold = [this] {
    thresholdLabel_->setText(QString::number(threshold(), 'f', 2));
  };
  showThreshold();
  connect(slider_, &QSlider::valueChanged, this, showThreshold);
  connect(measure_, &QComboBox::currentIndexChanged, this,
          [this](int index) { slider_->setValue(sliderValue(kMeasures[index].threshold)); });
  connect(add, &QPushButton::clicked, this, [this] {
    const QString folder = askFolderPath(this, tr("Add Folder"), doc_.currentDir());
    if (folder.isEmpty()) return;
    const QString shown = folders_->text().trimmed();
    folders_->setText(shown.isEmpty() ? folder : shown + QStringLiteral(";") + folder);
  });
  connect(find_, &QPushButton::clicked, this, &CDuplicatesView::FindDuplicates);
  connect(cancel_, &QPushButton::clicked, model_, &CDuplicatesModel::Cancel);
  cancel_->setEnabled(false);
  connect(model_, &CDuplicatesModel::started, this, [this] {
    find_->setEnabled(false);
    cancel_->setEnabled(true);
  });
  connect(model_, &CDuplicatesModel::progress, status_,
          [this](int, const QString& caption) { status_->setText(caption); });
  connect(model_, &CDuplicatesModel::finished, this, [this](const QString& failure) {
    find_->setEnabled(true);
    cancel_->setEnabled(false);
    status_->setText(
        tr("%n group(s) of duplicates", nullptr, static_cast<int>(model_->groups().size())));
    if (!failure.isEmpty()) showMessage(failure);
  });
  connect(model_, &CDuplicatesModel::groupsChanged, this, &CDuplicatesView::showGroups);
  connect(order_, &QComboBox::currentIndexChanged, this, [this](int index) {
    model_->SetOrder(index == 0 ? DuplicateOrder::BySize : DuplicateOrder::ByScore);
  });
  connect(largest, &QPushButton::clicked, model_, &CDuplicatesModel::KeepLargest);
  connect(oldest, &QPushButton::clicked, model_, &CDuplicatesModel::KeepOldest);
  connect(inFolder, &QPushButton::clicked, this, [this] {
    const QString folder = askFolderPath(this, tr("Keep the One in Folder"), doc_.currentDir());
    if (!folder.isEmpty()) model_->KeepInFolder(folder);
  });
  connect(trash_, &QPushButton::clicked, this, [this] { showMessage(model_->TrashMarked()); });
  connect(tree_, &QTreeWidget::itemChanged, this, &CDuplicatesView::itemChanged);
}

double CDuplicatesView::threshold() const { return slider_->value() / 100.0; }

void CDuplicatesView::FindDuplicates() {
  QStringList folders = folders_->text().split(QLatin1Char(';'), Qt::SkipEmptyParts);
  for (QString& folder : folders) folder = folder.trimmed();
  folders.removeAll(QString());
  if (folders.isEmpty() && !doc_.currentDir().isEmpty()) folders << doc_.currentDir();
  if (folders.isEmpty()) {
    showMessage(tr("Please choose a folder to look in."));
    return;
  }
  model_->Start(folders, recursive_->isChecked(), threshold(),
                kMeasures[measure_->currentIndex()].mode);
}

void CDuplicatesView::showGroups() {
  const QSignalBlocker blocker(tree_);
  tree_->clear();
  const QLocale locale;
  const std::vector<DuplicateFileGroup>& groups = model_->groups();
  for (std::size_t g = 0; g < groups.size(); ++g) {
    auto* top = new QTreeWidgetItem(tree_);
    top->setText(0, tr("Group %1: %2 pictures").arg(g + 1).arg(groups[g].files.size()));
    top->setFirstColumnSpanned(true);
    for (std::size_t f = 0; f < groups[g].files.size(); ++f) {
      const DuplicateFile& file = groups[g].files[f];
      auto* item = new QTreeWidgetItem(top);
      const QFileInfo info(file.path);
      item->setIcon(0, thumbnailOf(file.path));
      item->setText(0, info.fileName());
      item->setText(1, QString::number(file.score, 'f', 3));
      item->setText(
          2, file.pixels.isEmpty()
                 ? QStringLiteral("-")
                 : QStringLiteral("%1 x %2").arg(file.pixels.width()).arg(file.pixels.height()));
      item->setText(3, locale.formattedDataSize(file.bytes));
      item->setText(4, locale.toString(file.modified, QLocale::ShortFormat));
      item->setText(5, QDir::toNativeSeparators(info.absolutePath()));
      item->setCheckState(0, file.remove ? Qt::Checked : Qt::Unchecked);
      item->setData(0, kGroupRole, static_cast<qulonglong>(g));
      item->setData(0, kFileRole, static_cast<qulonglong>(f));
    }
    top->setExpanded(true);
  }
}

void CDuplicatesView::itemChanged(QTreeWidgetItem* item, int column) {
  if (column != 0 || item->parent() == nullptr) return;
  model_->SetRemove(item->data(0, kGroupRole).toULongLong(), item->data(0, kFileRole).toULongLong(),
                    item->checkState(0) == Qt::Checked);
}
