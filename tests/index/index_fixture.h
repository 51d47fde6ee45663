// A folder of synthetic RIM files and an index file for the index tests.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "index/refresh.h"
#include "index/signature_index.h"
#include "retrieval/synthetic_rim.h"
#include "support/test_support.h"

// A stamp of a size and a modification time (seconds), for rows made by hand.
inline FileStamp stampOf(std::int64_t size, std::int64_t mtime) {
  FileStamp stamp;
  stamp.size = size;
  stamp.mtime = mtime;
  return stamp;
}

class IndexFixture : public ::testing::Test {
 protected:
  // name.rim in the folder (or in sub), a random file of a seed.
  std::string writeRim(const std::string& name, unsigned seed, std::uint16_t learning = 0,
                       std::uint32_t width = 96) {
    const std::string path = folder.file(name);
    synthetic::writeRandomRim(path, learning, seed, width);
    return path;
  }

  // The signature of a random file of a seed, read from scratch.rim.
  Signature signatureOf(unsigned seed, std::uint16_t learning = 0, std::uint32_t width = 96) {
    Signature s;
    EXPECT_EQ(ReadRimSignature(writeRim("scratch.rim", seed, learning, width), s), status::Success);
    return s;
  }

  void open(SignatureIndex& index) {
    std::string notice, error;
    ASSERT_TRUE(index.Open(indexFile(), notice, error)) << error;
    EXPECT_EQ(notice, "");
  }

  std::string indexFile() const { return store.file("index.sqlite"); }

  // Refreshes with the RIM reader as the source, counting its calls.
  RefreshCounts refresh(SignatureIndex& index, const std::vector<std::string>& files,
                        bool recursive = false, const std::atomic<bool>* stop = nullptr,
                        std::size_t stopAfter = 0, unsigned jobs = 2) {
    RefreshRequest request;
    request.dir = folder.path();
    request.recursive = recursive;
    request.files = files;
    request.params = "test";
    request.jobs = jobs;
    request.stop = stop;
    SignatureSource source = [this, stop, stopAfter](const std::string& path, Signature& s,
                                                     std::string&) {
      const std::size_t n = ++calls;
      if (stop != nullptr && n >= stopAfter) const_cast<std::atomic<bool>*>(stop)->store(true);
      return ReadRimSignature(path, s);
    };
    RefreshCounts counts;
    std::string error;
    EXPECT_TRUE(RefreshFolder(index, request, source, {}, counts, error)) << error;
    return counts;
  }

  testing_support::TempDir folder;
  testing_support::TempDir store;
  std::atomic<std::size_t> calls{0};
};
