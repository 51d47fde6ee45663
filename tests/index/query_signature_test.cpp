// The query's signature: the index's copy while the file is as it was
// indexed, made afresh otherwise.
#include "index/query_signature.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "index/signature_blob.h"
#include "index_fixture.h"

namespace {

class QuerySignatureTestBase : public IndexFixture {
 protected:
  // How often the source was called for the query's signature under params.
  std::size_t made(SignatureIndex& index, const std::string& path, const std::string& params,
                   Signature& s) {
    std::size_t madeCalls = 0;
    const SignatureSource source = [&madeCalls](const std::string& p, Signature& out,
                                                std::string&) {
      ++madeCalls;
      return ReadRimSignature(p, out);
    };
    EXPECT_EQ(QuerySignature(index, path, params, source, s), status::Success);
    return madeCalls;
  }
};
using QuerySignatureTest = OnBothIndexes<QuerySignatureTestBase>;
FOLIM_ON_BOTH_INDEXES(QuerySignatureTest);

TEST_P(QuerySignatureTest, TakesTheIndexedCopyOnlyWhileTheFileIsUnchanged) {
  const std::string a = writeRim("a.rim", 1), b = writeRim("b.rim", 2);
  SignatureIndex index;
  open(index);
  refresh(index, {a});
  Signature fromIndex, fromFile;
  ASSERT_EQ(ReadRimSignature(a, fromFile), status::Success);
  EXPECT_EQ(made(index, a, "test", fromIndex), 0u);
  EXPECT_EQ(fromIndex.imageWidth, 96u);
  EXPECT_EQ(EncodeSignature(fromIndex), EncodeSignature(fromFile));
  // Another parameter set, a file never indexed, a file changed since.
  EXPECT_EQ(made(index, a, "other", fromIndex), 1u);
  EXPECT_EQ(made(index, b, "test", fromIndex), 1u);
  writeRim("a.rim", 3, 0, 104);
  ASSERT_EQ(ReadRimSignature(a, fromFile), status::Success);
  EXPECT_EQ(made(index, a, "test", fromIndex), 1u);
  EXPECT_EQ(fromIndex.imageWidth, 104u);
}

TEST_P(QuerySignatureTest, AFileThatCouldNotBeReadIsTriedAgain) {
  const std::string bad = folder.file("bad.rim");
  testing_support::writeFileBytes(bad, "not a picture");
  SignatureIndex index;
  open(index);
  refresh(index, {bad});
  std::size_t madeCalls = 0;
  const SignatureSource source = [&madeCalls](const std::string& p, Signature& out, std::string&) {
    ++madeCalls;
    return ReadRimSignature(p, out);
  };
  Signature s;
  EXPECT_NE(QuerySignature(index, bad, "test", source, s), status::Success);
  EXPECT_EQ(madeCalls, 1u);
}

}  // namespace
