// What the choices of the "Convert to RIM" form mean without the form: the
// checks before a conversion, and the bases, quality and save folder it
// runs with, taken by their places in the form's lists.
#include "shell/rim_conversion.h"

#include <gtest/gtest.h>

#include <string>

#include "codec/encoder_settings.h"
#include "support/test_support.h"

namespace {

struct PlanCase {
  const char* name;
  bool saveDirExists;
  std::size_t files;
  int bases;
  int quality;          // 0: config.ini, k: the k-th preset
  const char* refusal;  // "" when it starts
  const char* method;
};

class RimConversionPlans : public ::testing::TestWithParam<PlanCase> {};

TEST_P(RimConversionPlans, FollowTheFormsChoices) {
  const PlanCase& c = GetParam();
  testing_support::TempDir temp;
  const QString save = QString::fromStdString(c.saveDirExists ? temp.path() : temp.file("none"));
  const RimConversionPlan plan = PlanRimConversion({save, c.bases, c.quality}, c.files);
  EXPECT_EQ(plan.refusal.toStdString(), c.refusal);
  if (*c.refusal != '\0') {
    EXPECT_TRUE(plan.bases.isEmpty());
    return;
  }
  EXPECT_EQ(plan.saveDir, save + "/");
  EXPECT_EQ(plan.bases.toStdString(), c.method);
  EXPECT_EQ(plan.options.method, c.method);
  const std::string quality = c.quality == 0
                                  ? std::string()
                                  : qualityPresets()[static_cast<std::size_t>(c.quality - 1)].name;
  EXPECT_EQ(plan.quality.toStdString(), quality);
  EXPECT_EQ(plan.options.settings.quality, quality);
}

INSTANTIATE_TEST_SUITE_P(
    Choices, RimConversionPlans,
    ::testing::Values(PlanCase{"pca_with_config_ini", true, 3, 0, 0, "", "PCA"},
                      PlanCase{"ica_with_the_first_preset", true, 1, 1, 1, "", "ICA"},
                      PlanCase{"the_last_preset", true, 1, 0,
                               static_cast<int>(qualityPresets().size()), "", "PCA"},
                      PlanCase{"missing_save_folder", false, 3, 0, 0, kMsgSaveDirMissing, ""},
                      PlanCase{"nothing_listed", true, 0, 1, 0, kMsgNoFiles, ""}),
    [](const ::testing::TestParamInfo<PlanCase>& p) { return std::string(p.param.name); });

TEST(RimConversionPlan, KeepsTheFinalSlashOfTheSaveFolder) {
  testing_support::TempDir temp;
  const QString save = QString::fromStdString(temp.path() + "/");
  EXPECT_EQ(PlanRimConversion({save, 0, 0}, 1).saveDir, save);
}

}  // namespace
