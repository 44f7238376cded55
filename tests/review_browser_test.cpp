// The review page of the bundled clip as a browser shows it: the helper at 0 8 1, then
// autoframe-review, then headless Chromium. A copy of the page with a check script added (the page
// itself has none) reports what the browser decoded and laid out; a screenshot of the page
// itself must show a picture with the human boxes' blue in it. With a crop path from the planner,
// every frame shows its window, in the window's bluish green.
#include <array>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include <gtest/gtest.h>

#include "planning/crop_plan.h"
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
      ' faces=' + visible('.pic .face rect') + ' humans=' + visible('.pic .human rect') +
      ' windows=' + visible('.pic rect.window') + ' widths=' + [...document.querySelectorAll(
          '.pic rect.window')].map(r => Math.round(r.getBoundingClientRect().width)).join(',');
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
        std::vector<std::string> all{"--headless",
                                     "--no-sandbox",
                                     "--disable-gpu",
                                     "--disable-quic",
                                     "--no-first-run",
                                     "--disable-background-networking",
                                     "--disable-component-update",
                                     "--disable-sync",
                                     "--hide-scrollbars",
                                     "--user-data-dir=" + profile};
        all.insert(all.end(), arguments.begin(), arguments.end());
        all.push_back("file://" + page);
        return runProgram(browser, all, {}, 120);
    }

    // What the check script reports of the page, or an empty text with the failure recorded.
    std::string checked(const std::string& page) {
        std::string html = readFile(page);
        const auto end = html.rfind("</body>");
        if (end == std::string::npos) {
            ADD_FAILURE() << "no </body> in " << page;
            return "";
        }
        html.insert(end, checkScript);
        writeFile(dir + "/checked.html", html);
        const auto dom =
            openInBrowser({"--virtual-time-budget=10000", "--dump-dom"}, dir + "/checked.html");
        EXPECT_FALSE(dom.timedOut);
        std::smatch found;
        if (!std::regex_search(dom.out, found, std::regex("<pre id=\"check\">([^<]*)</pre>"))) {
            ADD_FAILURE() << "status " << dom.status << ", stderr: " << dom.err.substr(0, 2000);
            return "";
        }
        return found[1].str();
    }

    // Width, height, spread of the values and the count of pixels near `bgr` in a screenshot of
    // the page.
    std::array<int, 4> screenshot(const std::string& page, std::array<int, 3> bgr) {
        const std::string png = dir + "/page.png";
        const auto shot = openInBrowser({"--window-size=1280,1400", "--screenshot=" + png}, page);
        EXPECT_FALSE(shot.timedOut);
        EXPECT_TRUE(fs::exists(png)) << shot.err.substr(0, 2000);
        const std::string measure =
            "/usr/bin/python3 -c \"import cv2,numpy,sys; p=cv2.imread(sys.argv[1]); "
            "near=numpy.all(numpy.abs(p.astype(int)-[" +
            std::to_string(bgr[0]) + "," + std::to_string(bgr[1]) + "," + std::to_string(bgr[2]) +
            "])<=24,axis=2).sum(); "
            "print(p.shape[1], p.shape[0], int(p.std()), int(near))\" '" +
            png + "' > '" + dir + "/measure.txt'";
        EXPECT_TRUE(testing::runShell(measure));
        std::istringstream measured(readFile(dir + "/measure.txt"));
        std::array<int, 4> found{};
        for (int& value : found) measured >> value;
        return found;
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

    EXPECT_EQ(checked(page),
              "images=8 decoded=8 aligned=8 points=8 faces=" + std::to_string(faces) +
                  " humans=" + std::to_string(humans) + " windows=0 widths=");

    // The page itself, as a picture: not blank, and with the human boxes' blue (#0072B2).
    const auto [width, height, spread, bluePixels] = screenshot(page, {178, 114, 0});
    EXPECT_EQ(width, 1280);
    EXPECT_EQ(height, 1400);
    EXPECT_GT(spread, 20) << "the screenshot is (nearly) one colour";
    EXPECT_GT(bluePixels, 200) << "no human boxes to be seen";
}

TEST_F(ReviewInBrowser, CropPathShowsItsWindowOnEveryFrame) {
    const std::string clip = std::string(AUTOFRAME_SOURCE_DIR) + "/samples/pedestrians.mp4";
    const auto helper = testing::runHelper({clip, "0", "8", "1"});
    ASSERT_EQ(helper.status, 0) << helper.err;
    const auto samples = decodeSamples(helper.out);
    ASSERT_TRUE(samples) << samples.error().description;
    // 9:16 windows of the 768 x 576 clip, 10 frames a second: 324 x 576, 135 x 240 on the
    // 320 x 240 thumbnails.
    std::vector<double> frameTimes;
    for (int k = 0; k < 80; ++k) frameTimes.push_back(k / 10.0);
    const auto plan = planCrop(*samples, {768, 576}, {9, 16}, frameTimes);
    ASSERT_TRUE(plan) << plan.error().description;
    const std::string json = dir + "/samples.json", path = dir + "/path.json",
                      page = dir + "/pedestrians.html";
    writeFile(json, helper.out);
    writeFile(path, encodePlan(*plan));
    const auto review = runProgram(AUTOFRAME_REVIEW, {"--path", path, clip, json, page});
    ASSERT_EQ(review.status, 0) << review.err;

    const std::string report = checked(page);
    EXPECT_NE(report.find(" windows=8 widths=135,135,135,135,135,135,135,135"), std::string::npos)
        << report;
    // The window's bluish green (#009E73) to be seen.
    const auto [width, height, spread, greenPixels] = screenshot(page, {115, 158, 0});
    EXPECT_EQ(width, 1280);
    EXPECT_GT(greenPixels, 200) << "no crop windows to be seen";
}

}  // namespace
}  // namespace autoframe
