#include "shell/rim_conversion.h"

#include <iterator>

#include "codec/encoder_settings.h"
#include "shell/convert_form.h"
#include "shell/native_path.h"

RimConversionPlan PlanRimConversion(const RimConversionChoice& choice, std::size_t fileCount) {
  RimConversionPlan plan;
  const std::string refusal = checkRimConversionStart(toNativePath(choice.saveDir), fileCount);
  if (!refusal.empty()) {
    plan.refusal = QString::fromStdString(refusal);
    return plan;
  }
  plan.saveDir = withFinalSlash(choice.saveDir);
  const bool knownBases =
      choice.bases >= 0 && choice.bases < static_cast<int>(std::size(kBasesMethods));
  plan.bases = QString::fromUtf8(kBasesMethods[knownBases ? choice.bases : 0]);
  const std::vector<QualityPreset>& presets = qualityPresets();
  if (choice.quality > 0 && choice.quality <= static_cast<int>(presets.size()))
    plan.quality = QString::fromUtf8(presets[static_cast<std::size_t>(choice.quality - 1)].name);
  plan.options.method = plan.bases.toStdString();
  plan.options.settings.quality = plan.quality.toStdString();
  return plan;
}
