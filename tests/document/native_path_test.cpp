// File names from the disk into QStrings and back: every byte string comes
// back as it was, and valid UTF-8 reads as Qt reads it.
#include "shell/native_path.h"

#include <gtest/gtest.h>

#include <QUrl>
#include <string>

namespace {

struct Name {
  const char* bytes;
  bool utf8;  // valid UTF-8: the QString is Qt's own reading of it
};

class NativePath : public ::testing::TestWithParam<Name> {};

TEST_P(NativePath, ComesBackAsTheSameBytes) {
  const std::string bytes = GetParam().bytes;
  const QString text = fromNativePath(bytes);
  EXPECT_EQ(toNativePath(text), bytes);
  if (GetParam().utf8) {
    EXPECT_EQ(text, QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())));
  } else {
    EXPECT_FALSE(text.contains(QChar(0xFFFD)));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Names, NativePath,
    ::testing::Values(Name{"/photos/plain.rim", true}, Name{"/x/caf\xc3\xa9.rim", true},
                      Name{"/x/\xf0\x9f\x93\xb7 \xe5\x86\x99.jpg", true},  // four and three bytes
                      Name{"/x/\xf0\x90\x82\x80", true},     // U+10080: its low half is DC80
                      Name{"/x/caf\xe9.rim", false},         // Latin-1
                      Name{"\xff\xfe\x80", false},           // bytes that never start a sequence
                      Name{"/x/a\xc3", false},               // cut short at the end
                      Name{"/x/\xc0\xaf", false},            // an overlong '/'
                      Name{"/x/\xed\xa0\x80", false},        // an encoded surrogate
                      Name{"/x/\xf4\x90\x80\x80", false},    // above U+10FFFF
                      Name{"/x/\xe9\xc3\xa9\xe9", false}));  // stray bytes around a character

TEST(NativePath, LocalFileUrlsAreDecodedIntoBytes) {
  EXPECT_EQ(toNativePath(fromLocalFileUrl(QUrl::fromEncoded("file:///x/caf%E9%20b.rim"))),
            "/x/caf\xe9 b.rim");
  EXPECT_EQ(toNativePath(fromLocalFileUrl(QUrl::fromEncoded("file:///x/caf%C3%A9.rim"))),
            "/x/caf\xc3\xa9.rim");
  EXPECT_TRUE(fromLocalFileUrl(QUrl::fromEncoded("https://example.org/a.rim")).isEmpty());
}

}  // namespace
