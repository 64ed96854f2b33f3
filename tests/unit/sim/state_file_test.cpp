#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "sim/state_file.h"
#include "tests/support/temp_folder.h"

namespace orvelle {
namespace {

namespace fs = std::filesystem;

ControllerState Changed() {
  ControllerState s;
  s.modelText = "X-1";
  s.infoF5Text = "UartTrans, with = and spaces";
  s.infoValue = -3;
  s.layoutA = {};
  s.layoutB = {-128, 127, 0};
  s.touchMaximum = 16;
  s.touchCount = 16;
  s.cfg12 = {1, 0, 1};
  s.value14 = 1000;
  s.periodB21 = 2000;
  s.calMode = 2;
  s.calOption = 4;
  s.record.headerA = 3;
  s.record.x[1] = -7;
  s.record.y[8] = 6143;
  s.affine = {-4096, 1, 2, 3, 4096, -32768};
  s.affineActive = true;
  return s;
}

class SimStateFile : public ::testing::Test {
 protected:
  testing::TempFolder folder;
  fs::path dir{folder.Path()};
  std::string path = folder.File("state.txt");
};

TEST_F(SimStateFile, MissingFileGivesTheDefaultsASavedOneEveryFieldAndAFailedSaveNothing) {
  ControllerState loaded = Changed();
  bool existed = true;
  std::string error;
  ASSERT_TRUE(LoadStateFile(path, loaded, existed, error));
  EXPECT_FALSE(existed);
  EXPECT_EQ(loaded, ControllerState{});

  ASSERT_TRUE(SaveStateFile(path, Changed(), error)) << error;
  ASSERT_TRUE(LoadStateFile(path, loaded, existed, error)) << error;
  EXPECT_TRUE(existed);
  EXPECT_EQ(loaded, Changed());
  EXPECT_FALSE(SaveStateFile((dir / "no" / "state.txt").string(), Changed(), error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

// Never the defaults, which the next save would write over the file.
TEST_F(SimStateFile, DamagedOrUnusableFileIsAnErrorNamingIt) {
  const std::string whole = FormatState(Changed());
  const auto write = [&](const std::string& text) { std::ofstream(path) << text; };
  const auto damaged = [](const std::string& line) {
    return "# kept\n" + FormatState(ControllerState{}) + line;
  };
  const auto read = [&] {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::vector<std::pair<std::function<void()>, std::string>> cases = {
      {[&] { write(damaged("cfg15=1,5,750\n")); }, "cfg15"},
      {[&] { write(damaged("colour=blue\n")); }, "line 23"},
      {[&] { write(damaged("cal_record=00ff\n")); }, "cal_record"},
      {[&] { write(damaged("touch_limits=10,16\n")); }, "touch_count"},
      {[&] { write(damaged("model=NINECHARS\n")); }, "model"},
      {[&] { write(whole.substr(0, whole.find("cfg12="))); }, "no value for cfg12"},
      {[&] { write(whole + std::string(kMaxStateBytes, '#')); }, "larger"},
      {[&] { fs::create_directory(path); }, "not a regular file"},
      {[&] { ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); }, "not a regular file"},
  };
  for (const auto& [arrange, mention] : cases) {
    SCOPED_TRACE(mention);
    fs::remove_all(path);
    arrange();
    const std::string before = fs::is_regular_file(path) ? read() : "";
    ControllerState loaded;
    bool existed = false;
    std::string error;
    alarm(20);  // a load that blocks ends the test instead of hanging it
    EXPECT_FALSE(LoadStateFile(path, loaded, existed, error));
    alarm(0);
    EXPECT_TRUE(existed);
    EXPECT_EQ(error.rfind(path + ": ", 0), 0u) << error;
    EXPECT_NE(error.find(mention), std::string::npos) << error;
    EXPECT_EQ(before.empty() ? before : read(), before);
  }
}

}  // namespace
}  // namespace orvelle
