// The Duplicates window on photographs and planted copies of them (resized,
// cropped, mirrored): the groups are those `folim-cli duplicates` prints for
// the same index and threshold, and "Keep the Largest" with Move Marked to
// Trash leaves one file per group, the rest in the trash with their records
// and out of the index. The trash is a private one in the test's folder.
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSlider>
#include <QStandardPaths>
#include <QTreeWidget>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>

#include "imageio/signature_source.h"
#include "index/index_location.h"
#include "index/signature_index.h"
#include "shell/duplicates_model.h"
#include "shell/duplicates_view.h"
#include "shell/folim_doc.h"
#include "shell/main_frame.h"
#include "shell_fixture.h"
#include "support/run_program.h"

namespace shell_testing {
namespace {

namespace fs = std::filesystem;
using Groups = std::set<std::vector<std::string>>;

class DuplicatesViewTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    if (const char* old = std::getenv("HOME")) home_ = old;
    setenv("HOME", temp.path().c_str(), 1);
    fs::create_directory(folder());
    for (const char* name : {"aqua.jpg", "blinds.jpg", "dune.jpg", "storm.jpg", "wood.jpg"})
      fs::copy_file(testing_support::examplesPath(name), folder() + "/" + name);
    const auto example = [](const char* name) {
      return QImage(QString::fromStdString(testing_support::examplesPath(name)));
    };
    const QImage aqua = example("aqua.jpg");
    ASSERT_TRUE(aqua.scaled(aqua.size() / 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                    .save(QString::fromStdString(folder() + "/aqua-small.png")));
    const QImage storm = example("storm.jpg");
    ASSERT_TRUE(storm
                    .copy(storm.width() / 20, storm.height() / 20, storm.width() * 9 / 10,
                          storm.height() * 9 / 10)
                    .save(QString::fromStdString(folder() + "/storm-cropped.jpg"), nullptr, 90));
    ASSERT_TRUE(example("dune.jpg")
                    .mirrored(true, false)
                    .save(QString::fromStdString(folder() + "/dune-mirrored.png")));
  }
  void TearDown() override {
    setenv("HOME", home_.c_str(), 1);
    ShellTest::TearDown();
  }

  std::string folder() const { return temp.file("pictures"); }

  Groups viewGroups(const CDuplicatesModel& model) {
    Groups groups;
    for (const DuplicateFileGroup& group : model.groups()) {
      std::vector<std::string> paths;
      for (const DuplicateFile& file : group.files) paths.push_back(file.path.toStdString());
      groups.insert(paths);
    }
    return groups;
  }

  // What the command line prints for the folder: groups of lines
  // "score edge colour path", a blank line between groups.
  Groups cliGroups(const std::vector<std::string>& options = {}) {
    std::vector<std::string> arguments = {"duplicates", "--no-refresh"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    arguments.push_back(folder());
    const testing_support::ProgramRun run = testing_support::runCliProgram(arguments);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    Groups groups;
    std::vector<std::string> group;
    std::istringstream lines(run.out);
    std::string line;
    while (std::getline(lines, line)) {
      if (line.empty()) {
        groups.insert(group);
        group.clear();
        continue;
      }
      std::istringstream fields(line);
      std::string score, edge, colour, path;
      fields >> score >> edge >> colour;
      std::getline(fields >> std::ws, path);
      group.push_back(path);
    }
    if (!group.empty()) groups.insert(group);
    return groups;
  }

 private:
  std::string home_;
};

TEST_F(DuplicatesViewTest, GroupsAreTheCommandLinesAndKeepTheLargestTrashesTheRest) {
  chooseFolder(folder());
  CDuplicatesView* view = frame->duplicatesView();
  EXPECT_DOUBLE_EQ(view->threshold(), 0.65);
  view->foldersEdit()->setText(QString::fromStdString(folder()));
  QSignalSpy finished(view->model(), &CDuplicatesModel::finished);
  view->FindDuplicates();
  ASSERT_TRUE(waitUntil([&] { return finished.count() > 0; }, 60000));
  EXPECT_EQ(finished[0][0].toString(), QString());
  const Groups groups = viewGroups(*view->model());
  ASSERT_FALSE(groups.empty());
  EXPECT_EQ(groups, cliGroups());
  EXPECT_TRUE(groups.count({folder() + "/aqua.jpg", folder() + "/aqua-small.png"}) == 1 ||
              groups.count({folder() + "/aqua-small.png", folder() + "/aqua.jpg"}) == 1)
      << "the resized copy is found";
  // One row per group with its files beneath.
  ASSERT_EQ(view->groupsTree()->topLevelItemCount(), static_cast<int>(groups.size()));

  std::size_t toTrash = 0;
  for (const auto& group : groups) toTrash += group.size() - 1;
  view->model()->KeepLargest();
  std::vector<std::string> kept, trashed;
  for (const DuplicateFileGroup& group : view->model()->groups())
    for (const DuplicateFile& file : group.files)
      (file.remove ? trashed : kept).push_back(file.path.toStdString());
  EXPECT_EQ(kept.size(), groups.size());
  EXPECT_EQ(trashed.size(), toTrash);
  EXPECT_NE(std::find(kept.begin(), kept.end(), folder() + "/aqua.jpg"), kept.end())
      << "the whole photograph is larger than its half-size copy";

  const QString summary = view->model()->TrashMarked();
  EXPECT_TRUE(summary.startsWith(QString("%1 files (").arg(toTrash))) << summary.toStdString();
  EXPECT_TRUE(view->model()->groups().empty());
  const std::string trash =
      QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString() +
      "/Trash";
  SignatureIndex index;
  std::string notice, error;
  ASSERT_TRUE(index.Open(defaultIndexPath(), notice, error)) << error;
  const std::string params = signatureParametersKey(currentSignatureParameters());
  for (const std::string& path : trashed) {
    const std::string name = path.substr(path.rfind('/') + 1);
    EXPECT_FALSE(fs::exists(path)) << path;
    EXPECT_TRUE(fs::exists(trash + "/files/" + name)) << name;
    EXPECT_TRUE(fs::exists(trash + "/info/" + name + ".trashinfo")) << name;
    IndexRow row;
    EXPECT_FALSE(index.Find(path, params, row)) << path;
  }
  for (const std::string& path : kept) EXPECT_TRUE(fs::exists(path)) << path;
  EXPECT_TRUE(cliGroups().empty());
}

// Each measure starts at its own threshold, and the groups are those the
// command line prints for that measure.
TEST_F(DuplicatesViewTest, TheMeasureChosenSetsItsThresholdAndGroupsAsTheCommandLine) {
  chooseFolder(folder());
  CDuplicatesView* view = frame->duplicatesView();
  struct Case {
    int index;
    const char* name;
    double threshold;
  };
  for (const Case& c :
       {Case{1, "robust", kRobustDuplicateThreshold}, Case{0, "csd", kDefaultDuplicateThreshold}}) {
    view->measureCombo()->setCurrentIndex(c.index);
    EXPECT_DOUBLE_EQ(view->threshold(), c.threshold) << c.name;
    view->foldersEdit()->setText(QString::fromStdString(folder()));
    QSignalSpy finished(view->model(), &CDuplicatesModel::finished);
    view->FindDuplicates();
    ASSERT_TRUE(waitUntil([&] { return finished.count() > 0; }, 60000)) << c.name;
    EXPECT_EQ(finished[0][0].toString(), QString()) << c.name;
    const Groups groups = viewGroups(*view->model());
    EXPECT_FALSE(groups.empty()) << c.name;
    EXPECT_EQ(groups, cliGroups({"--measure", c.name})) << c.name;
  }
}

}  // namespace
}  // namespace shell_testing
