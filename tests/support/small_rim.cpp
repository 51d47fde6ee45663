#include "support/small_rim.h"

#include "codec/parameters.h"
#include "codec/rim_codec.h"
#include "codec/trace.h"
#include "support/rim_files.h"

namespace testing_support {

Status writeSmallRim(const std::string& path, const SmallRimOptions& options) {
  CommonParameters common;
  LearningParameters learning;
  CompressionParameters compression;
  setDefaultParameters(common, learning, compression);
  common.ColorSpace = options.colorSpace;
  common.PatchWidth = options.patchWidth;
  common.PatchHeight = options.patchHeight;
  compression.AverageQuantizeStep =
      deriveAverageQuantizeStep(compression.CoeffQuantizeStep, common.PatchWidth);
  compression.DoChangeStep = options.doChangeStep;
  learning.DimensionReduction = options.dimension;
  learning.MaxIterations = options.maxIterations;
  TraceTarget quiet(nullptr);
  CRIMCodec codec;
  Status s = codec.setParameters(&common, &learning, &compression);
  codec.average.mode = codec.base.mode = codec.coeff.mode = options.mode;
  if (s == status::Success) s = codec.encodeFile(path, patternImage(options.width, options.height));
  return s;
}

void SmallRimFileTest::SetUp() {
  ASSERT_EQ(writeSmallRim(dir_.file("good.rim"), GetParam()), status::Success);
  good_ = readFileBytes(dir_.file("good.rim"));
}

std::string SmallRimFileTest::damaged(const std::string& bytes) {
  writeFileBytes(dir_.file("bad.rim"), bytes);
  return dir_.file("bad.rim");
}

}  // namespace testing_support
