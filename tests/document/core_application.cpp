#include "core_application.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <cstdlib>
#include <memory>

#include "support/test_support.h"

namespace {

class CoreApplication : public ::testing::Environment {
 public:
  void SetUp() override {
    // Set before any thread runs: the index of the tests stays out of the
    // home folder.
    cache_ = std::make_unique<testing_support::TempDir>();
    ::setenv("XDG_CACHE_HOME", cache_->path().c_str(), 1);
    // What the view-models remember (the slideshow's interval) too.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(cache_->path()));
    static int argc = 1;
    static char name[] = "document_tests";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QCoreApplication>(argc, argv);
  }
  void TearDown() override {
    app_.reset();
    cache_.reset();
  }

 private:
  std::unique_ptr<testing_support::TempDir> cache_;
  std::unique_ptr<QCoreApplication> app_;
};

::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new CoreApplication);

}  // namespace
