// The review page of the bundled clip as a browser shows it: the helper at 0 8 1, then
// autoframe-review, then headless Chromium. A copy of the page with a check script added (the page
// itself has none) reports what the browser decoded and laid out; a screenshot of the page
// itself must show a picture with the human boxes' blue in it.
#include <filesystem>
#include <fstream>
#include <regex>

#include <gtest/gtest.h>

#include "results/json_reader.h"
#include "review/page.h"
#include "tests/support.h"

namespace autoframe {
namespace {

namespace fs = std::filesystem;
using testing::runProgram;

constexpr const char* browser = "/usr/bin/chromium";

using testing::readFile;
using testing::writeFile;

// Runs after everything has loaded and writes what it counted into the page.
constexpr const char* checkScript = R"(<script>
addEventListener('load', () => {
  const images = [...document.images];
  const decoded = images.filter(i => i.complete && i.naturalWidth > 0).length;
  const same = (a, b) => Math.abs(a.left - b.left) < 1 && Math.abs(a.top - b.top) < 1 &&
                         Math.abs(a.width - b.width) < 1 && Math.abs(a.height - b.height) < 1;
  const aligned = [...document.querySelectorAll('.pic')].filter(p =>
      same(p.querySelector('img').getBoundingClientRect(),
           p.querySelector('svg').getBoundingClientRect())).length;
  const visible = q => [...document.querySelectorAll(q)].filter(r => {
      const b = r.getBoundingClientRect(); return b.width > 0 && b.height > 0; }).length;
  const out = document.createElement('pre');
  out.id = 'check';
  out.textContent = 'images=' + images.length + ' decoded=' + decoded + ' aligned=' + aligned +
      ' points=' + document.querySelectorAll('svg.plot circle.sample').length +
      ' faces=' + visible('.pic .face rect') + ' humans=' + visible('.pic .human rect');
  document.body.append(out);
});
</script>
)";

class ReviewInBrowser : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(browser)) {
            GTEST_SKIP() << "no browser at " << browser << " (scripts/setup.sh installs chromium)";
        }
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // Headless Chromium on a page with a fresh profile and no network activity of its own.
    testing::HelperRun openInBrowser(std::vector<std::string> arguments, const std::string& page) {
        const std::string profile = dir + "/profile-" + std::to_string(profiles_++);
        std::vector<std::string> all{"--headless", "--no-sandbox", "--disable-gpu",
                                     "--disable-quic", "--no-first-run",
                                     "--disable-background-networking",
                                     "--disable-component-update", "--disable-sync",
                                     "--hide-scrollbars", "--user-data-dir=" + profile};
        all.insert(all.end(), arguments.begin(), arguments.end());
        all.push_back("file://" + page);
        return runProgram(browser, all, {}, 120);
    }

    const std::string dir = testing::privatePath("review-browser");
    int profiles_ = 0;
};

TEST_F(ReviewInBrowser, BundledClipShowsEveryFramePointAndBox) {
    const std::string clip = std::string(AUTOFRAME_SOURCE_DIR) + "/samples/pedestrians.mp4";
    const auto helper = testing::runHelper({clip, "0", "8", "1"});
    ASSERT_EQ(helper.status, 0) << helper.err;
    const auto samples = decodeSamples(helper.out);
    ASSERT_TRUE(samples) << samples.error().description;
    ASSERT_EQ(samples->size(), 8u);
    const std::string json = dir + "/samples.json", page = dir + "/pedestrians.html";
    writeFile(json, helper.out);
    const auto review = runProgram(AUTOFRAME_REVIEW, {clip, json, page});
    ASSERT_EQ(review.status, 0) << review.err;

    // What the browser should find: the boxes of each sample that lie on its thumbnail (the
    // 768 x 576 frames at 320 x 240).
    std::size_t faces = 0, humans = 0;
    for (const Sample& s : *samples) {
        for (const auto& box : s.faces()) faces += review::boxOnPicture(box, 320, 240) ? 1 : 0;
        for (const auto& box : s.humans()) humans += review::boxOnPicture(box, 320, 240) ? 1 : 0;
    }
    EXPECT_GT(humans, 8u);  // the walkers are found at all

    std::string checked = readFile(page);
    const auto end = checked.rfind("</body>");
    ASSERT_NE(end, std::string::npos);
    checked.insert(end, checkScript);
    writeFile(dir + "/checked.html", checked);
    const auto dom = openInBrowser({"--virtual-time-budget=10000", "--dump-dom"},
                                   dir + "/checked.html");
    ASSERT_FALSE(dom.timedOut);
    std::smatch found;
    ASSERT_TRUE(std::regex_search(dom.out, found, std::regex("<pre id=\"check\">([^<]*)</pre>")))
        << "status " << dom.status << ", stderr: " << dom.err.substr(0, 2000);
    EXPECT_EQ(found[1].str(), "images=8 decoded=8 aligned=8 points=8 faces=" +
                                  std::to_string(faces) + " humans=" + std::to_string(humans));

    // The page itself, as a picture: not blank, and with the human boxes' blue (#0072B2).
    const std::string png = dir + "/page.png";
    const auto shot = openInBrowser({"--window-size=1280,1400", "--screenshot=" + png}, page);
    ASSERT_FALSE(shot.timedOut);
    ASSERT_TRUE(fs::exists(png)) << shot.err.substr(0, 2000);
    const std::string measure =
        "/usr/bin/python3 -c \"import cv2,numpy,sys; p=cv2.imread(sys.argv[1]); "
        "blue=numpy.all(numpy.abs(p.astype(int)-[178,114,0])<=24,axis=2).sum(); "
        "print(p.shape[1], p.shape[0], int(p.std()), int(blue))\" '" + png + "' > '" + dir +
        "/measure.txt'";
    ASSERT_TRUE(testing::runShell(measure));
    std::istringstream measured(readFile(dir + "/measure.txt"));
    int width = 0, height = 0, spread = 0, bluePixels = 0;
    measured >> width >> height >> spread >> bluePixels;
    EXPECT_EQ(width, 1280);
    EXPECT_EQ(height, 1400);
    EXPECT_GT(spread, 20) << "the screenshot is (nearly) one colour";
    EXPECT_GT(bluePixels, 200) << "no human boxes to be seen";
}

}  // namespace
}  // namespace autoframe
