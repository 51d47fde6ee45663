// The robust measure on edits people make to photographs, each made here from
// the example photographs: every edited copy finds a picture of its own
// photograph first among all the others, and the compact estimate shortlists
// the measure's best as it does for the colour modes.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>
#include <set>
#include <string>
#include <vector>

#include "imageio/signature_source.h"
#include "index/compact.h"
#include "index/ranking.h"
#include "retrieval/color_mode.h"
#include "retrieval/robust_similarity.h"
#include "retrieval/signature.h"
#include "support/test_support.h"

using testing_support::examplesPath;
using testing_support::TempDir;

namespace {

constexpr double kWeight = PresetColorPercent(ColorMode::Robust) / 100.0;

QImage mapPixels(const QImage& im, const std::function<QRgb(QRgb)>& f) {
  QImage out = im.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < out.height(); ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x) line[x] = f(line[x]);
  }
  return out;
}

QImage rotated(const QImage& im, double degrees) {
  return im.transformed(QTransform().rotate(degrees), Qt::SmoothTransformation);
}

QImage centre(const QImage& im, double fraction) {
  const int w = static_cast<int>(im.width() * fraction),
            h = static_cast<int>(im.height() * fraction);
  return im.copy((im.width() - w) / 3, (im.height() - h) / 2, w, h);
}

QImage painted(const QImage& im, const std::function<void(QPainter&, int, int)>& paint) {
  QImage out = im.convertToFormat(QImage::Format_RGB32);
  QPainter p(&out);
  paint(p, out.width(), out.height());
  return out;
}

struct Edit {
  const char* name;
  std::function<QImage(const QImage&)> make;
  const char* format = "PNG";
  int quality = -1;
};

const std::vector<Edit>& edits() {
  static const std::vector<Edit> all = {
      {"crop to half the area", [](const QImage& im) { return centre(im, std::sqrt(0.5)); }},
      {"crop to a third", [](const QImage& im) { return centre(im, std::sqrt(1.0 / 3)); }},
      {"10 degrees, corners cropped",
       [](const QImage& im) {
         const QImage r = rotated(im, 10);
         return r.copy(r.width() / 5, r.height() / 5, r.width() * 3 / 5, r.height() * 3 / 5);
       }},
      {"5 degrees, black corners", [](const QImage& im) { return rotated(im, 5); }},
      {"width squeezed",
       [](const QImage& im) {
         return im.scaled(im.width() * 3 / 4, im.height(), Qt::IgnoreAspectRatio,
                          Qt::SmoothTransformation);
       }},
      {"caption bar",
       [](const QImage& im) {
         return painted(im, [](QPainter& p, int w, int h) {
           p.fillRect(0, h - h * 15 / 100, w, h * 15 / 100, QColor(20, 20, 20));
           for (int x = w / 10; x < w * 9 / 10; x += w / 12)
             p.fillRect(x, h - h / 10, w / 20, h / 20, Qt::white);
         });
       }},
      {"letterbox",
       [](const QImage& im) {
         QImage out(im.width(), im.height() * 4 / 3, QImage::Format_RGB32);
         out.fill(Qt::black);
         QPainter(&out).drawImage(0, im.height() / 6, im);
         return out;
       }},
      {"JPEG quality 10", [](const QImage& im) { return im; }, "JPG", 10},
      {"gamma 0.6",
       [](const QImage& im) {
         return mapPixels(im, [](QRgb c) {
           auto g = [](int v) { return static_cast<int>(255 * std::pow(v / 255.0, 0.6) + 0.5); };
           return qRgb(g(qRed(c)), g(qGreen(c)), g(qBlue(c)));
         });
       }},
      {"hue +25, saturation x 0.7",
       [](const QImage& im) {
         return mapPixels(im, [](QRgb c) {
           int h = 0, s = 0, v = 0;
           QColor(c).getHsv(&h, &s, &v);
           return QColor::fromHsv(h < 0 ? 0 : (h + 25) % 360, s * 7 / 10, v).rgb();
         });
       }},
      {"1/6 size",
       [](const QImage& im) {
         return im.scaled(im.width() / 6, im.height() / 6, Qt::IgnoreAspectRatio,
                          Qt::SmoothTransformation);
       }},
      {"vignette",
       [](const QImage& im) {
         const double cx = im.width() / 2.0, cy = im.height() / 2.0;
         QImage out = im.convertToFormat(QImage::Format_RGB32);
         for (int y = 0; y < out.height(); ++y)
           for (int x = 0; x < out.width(); ++x) {
             const double r = std::hypot((x - cx) / cx, (y - cy) / cy) / std::sqrt(2.0);
             const double f = 1.0 - 0.6 * r * r;
             const QRgb c = out.pixel(x, y);
             out.setPixel(x, y,
                          qRgb(static_cast<int>(qRed(c) * f), static_cast<int>(qGreen(c) * f),
                               static_cast<int>(qBlue(c) * f)));
           }
         return out;
       }},
      {"watermark",
       [](const QImage& im) {
         return painted(im, [](QPainter& p, int w, int h) {
           p.setOpacity(0.4);
           for (int k = 0; k < 4; ++k)
             p.fillRect(w / 8 + k * w / 5, h / 2, w / 10, h / 12, Qt::white);
         });
       }},
  };
  return all;
}

struct Picture {
  int photo;       // which example photograph
  int edit;        // -1 for the photograph itself
  Signature full;  // as the index's signature source makes it
  CompactSignature compact;
};

class RobustMeasure : public testing::Test {
 protected:
  static std::vector<Picture> pictures;
  static std::vector<std::string> photoNames;
  static std::vector<double> edges;  // every pair's edge similarity, computed once

  static void SetUpTestSuite() {
    photoNames = {"aqua.jpg",     "blinds.jpg", "dune.jpg", "garden.tiff",
                  "ladybird.png", "storm.jpg",  "wood.jpg", "yellowflower.gif"};
    TempDir dir;
    const SignatureParameters parameters = currentSignatureParameters();
    auto add = [&](int photo, int edit, const QImage& image, const char* format, int quality) {
      const std::string path =
          dir.file("p" + std::to_string(photo) + "e" + std::to_string(edit + 1) +
                   (format[0] == 'J' ? ".jpg" : ".png"));
      ASSERT_TRUE(image.save(QString::fromStdString(path), format, quality)) << path;
      Picture p{photo, edit, {}, {}};
      ASSERT_EQ(FileSignature(path, parameters, p.full), status::Success) << path;
      p.compact = MakeCompact(p.full);
      pictures.push_back(std::move(p));
    };
    for (int photo = 0; photo < static_cast<int>(photoNames.size()); ++photo) {
      QImage original(QString::fromStdString(examplesPath(photoNames[photo])));
      ASSERT_FALSE(original.isNull()) << photoNames[photo];
      // The size the photographs are shared at: the 1/6 copy is some 85 pixels
      // wide. Smaller copies than that are not yet found reliably.
      original = original.scaled(512, 512, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                     .convertToFormat(QImage::Format_RGB32);
      add(photo, -1, original, "PNG", -1);
      for (int e = 0; e < static_cast<int>(edits().size()); ++e)
        add(photo, e, edits()[e].make(original), edits()[e].format, edits()[e].quality);
    }
    const std::size_t n = pictures.size();
    edges.assign(n * n, 0.0);
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t j = 0; j < n; ++j)
        edges[i * n + j] = SignatureEdgeSimilarity(pictures[i].full, pictures[j].full);
  }
  static void TearDownTestSuite() {
    pictures.clear();
    edges.clear();
  }

  static double score(std::size_t i, std::size_t j, std::int32_t mode, double weight) {
    const Signature &q = pictures[i].full, &t = pictures[j].full;
    const double color = SignatureColorSimilarity(q, t, mode);
    return SignatureScore(q, t, mode, weight, edges[i * pictures.size() + j], color);
  }

  // The picture that scores best against picture i, others all.
  static const Picture& best(std::size_t i, std::int32_t mode, double weight) {
    std::size_t top = i == 0 ? 1 : 0;
    double topScore = -2.0;
    for (std::size_t j = 0; j < pictures.size(); ++j) {
      if (j == i) continue;
      const double s = score(i, j, mode, weight);
      if (s > topScore) {
        topScore = s;
        top = j;
      }
    }
    return pictures[top];
  }
};
std::vector<Picture> RobustMeasure::pictures;
std::vector<std::string> RobustMeasure::photoNames;
std::vector<double> RobustMeasure::edges;

TEST_F(RobustMeasure, EveryEditedCopyFindsItsOwnPhotographFirst) {
  ASSERT_EQ(pictures.size(), photoNames.size() * (edits().size() + 1));
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    const Picture& q = pictures[i];
    const Picture& found = best(i, kRobustColorMode, kWeight);
    EXPECT_EQ(found.photo, q.photo)
        << photoNames[q.photo] << ", " << (q.edit < 0 ? "original" : edits()[q.edit].name)
        << ": found " << photoNames[found.photo];
  }
}

// The reason for the measure: the colour structure mode loses copies the
// robust one finds, among them tone and colour edits.
TEST_F(RobustMeasure, FindsCopiesTheColourStructureModeMisses) {
  int missed = 0;
  for (std::size_t i = 0; i < pictures.size(); ++i)
    if (best(i, ColorSimilarity::kColorStructure, 0.7).photo != pictures[i].photo) ++missed;
  EXPECT_GT(missed, 0);
}

TEST_F(RobustMeasure, EachPartScoresOneAgainstItselfAndLessAgainstAnother) {
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    const Signature& s = pictures[i].full;
    EXPECT_NEAR(HueTolerantIntersection(s.structure.data(), s.structure.data()), 1.0, 1e-9) << i;
    EXPECT_NEAR(LayoutCorrelation(s.blockMeans.data(), s.blockMeans.data()), 1.0, 1e-9) << i;
    ASSERT_EQ(s.relativeHistogram.count(), kRelativeBins) << i;
    EXPECT_NEAR(std::accumulate(s.relativeHistogram.data(),
                                s.relativeHistogram.data() + kRelativeBins, 0.0),
                1.0, 1e-9)
        << i;
    EXPECT_NEAR(score(i, i, kRobustColorMode, kWeight), 1.0, 1e-9) << i;
    const std::size_t other = (i + edits().size() + 1) % pictures.size();
    ASSERT_NE(pictures[other].photo, pictures[i].photo);
    EXPECT_LT(score(i, other, kRobustColorMode, kWeight), 0.99) << i;
  }
}

// The estimate keeps the measure's best in the shortlist: for all but at
// most 1 % of the queries the exact top 10 of a shortlist a third as long as
// the set is the exact top 10 of every picture.
TEST_F(RobustMeasure, TheShortlistHoldsTheExhaustiveTopTen) {
  const std::size_t n = pictures.size(), shortlist = n / 3, top = 10;
  std::size_t differing = 0;
  for (std::size_t i = 0; i < n; ++i) {
    std::vector<std::pair<double, std::size_t>> exact, estimate;
    for (std::size_t j = 0; j < n; ++j) {
      exact.emplace_back(-score(i, j, kRobustColorMode, kWeight), j);
      estimate.emplace_back(
          -EstimateScore(pictures[i].compact, pictures[j].compact, kRobustColorMode, kWeight), j);
    }
    std::sort(exact.begin(), exact.end());
    std::sort(estimate.begin(), estimate.end());
    // The shortlist ranked by exact scores, as the second stage ranks it.
    std::vector<std::pair<double, std::size_t>> shortlisted;
    for (std::size_t k = 0; k < shortlist; ++k) {
      const std::size_t j = estimate[k].second;
      shortlisted.emplace_back(-score(i, j, kRobustColorMode, kWeight), j);
    }
    std::sort(shortlisted.begin(), shortlisted.end());
    for (std::size_t k = 0; k < top; ++k)
      if (shortlisted[k].second != exact[k].second) {
        ++differing;
        break;
      }
  }
  EXPECT_LE(differing * 100, n) << differing << " of " << n << " queries";
}

}  // namespace
