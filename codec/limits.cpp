#include "codec/limits.h"

CodecLimits& codecLimits() {
  static CodecLimits limits;
  return limits;
}
