// The progress window shows its caption whole, in either language, with the
// bar and the Cancel button below it.
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "shell/progress_dialog.h"
#include "shell_fixture.h"

namespace shell_testing {
namespace {

struct CaptionCase {
  const char* caption;
  bool cancellable;
};

const CaptionCase kCaptions[] = {
    {"Loading thumbnails 50 / 50 ...", false},
    {"Indexing pictures 12000 / 12000 ...", true},
    {"画像のインデックスを作成しています 12000 / 12000 ...", true},
    {"Saving /home/someone/Pictures/a rather long name of a photograph.rim ...", true},
    {"", false},
};

TEST(ProgressWindowTest, CaptionShowsWholeAboveTheBar) {
  ensureApplication();
  CProgressDialog progress;
  for (const CaptionCase& c : kCaptions) {
    SCOPED_TRACE(c.caption);
    progress.setCancellable(c.cancellable);
    progress.setWindowTitle(QString::fromUtf8(c.caption));
    const QLabel* label = progress.captionLabel();
    EXPECT_EQ(label->text(), QString::fromUtf8(c.caption));
    const int needed = label->fontMetrics().horizontalAdvance(label->text());
    EXPECT_GE(label->width(), needed);
    EXPECT_LE(label->geometry().right(), progress.width());
    const QRect bar = progress.progressBar()->geometry();
    EXPECT_GE(bar.top(), label->geometry().bottom());
    EXPECT_LE(bar.right(), progress.width());
    EXPECT_GE(progress.width(), 176);
    if (c.cancellable) {
      const QRect cancel = progress.cancelButton()->geometry();
      EXPECT_GT(cancel.top(), bar.bottom());
      EXPECT_LE(cancel.bottom(), progress.height());
    }
  }
}

}  // namespace
}  // namespace shell_testing
