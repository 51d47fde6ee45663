// What the choices of the "Convert to RIM" form mean, without its widgets:
// the bases and quality chosen by their places in the form's lists, the
// checks before a conversion starts and the options it runs with.
#pragma once

#include <QString>
#include <cstddef>

#include "imageio/batch_convert.h"

// The bases the form offers, in its order (the first is preselected); each
// text is also the method the conversion takes.
inline constexpr const char* kBasesMethods[] = {"PCA", "ICA"};

// What the form's controls ask for.
struct RimConversionChoice {
  QString saveDir;  // as typed
  int bases = 0;    // place in kBasesMethods
  int quality = 0;  // 0: config.ini as it stands; k: the k-th quality preset
};

struct RimConversionPlan {
  QString refusal;  // why it cannot start (then nothing else is set), or empty
  QString saveDir;  // ending in "/"
  QString bases;    // "PCA" or "ICA"
  QString quality;  // the preset's name, or empty for config.ini as it stands
  RimConversionOptions options;
};

// The conversion of fileCount listed files as chosen.
RimConversionPlan PlanRimConversion(const RimConversionChoice& choice, std::size_t fileCount);
