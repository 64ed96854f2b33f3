#include "tests/gui/calibration/dialog_fixture.h"

#include <stdlib.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <filesystem>

#include "devlink/catalogue.h"
#include "devlink/hid/sim_bus.h"
#include "shell/message_style.h"

namespace orvelle {
namespace {

using namespace std::chrono_literals;

std::string TempDir(const char* what) {
  std::string pattern = std::string("/tmp/orvelle-") + what + "-XXXXXX";
  return mkdtemp(pattern.data());
}

}  // namespace

CalibrationDialogTest::CalibrationDialogTest()
    : simDir_(TempDir("calsim")), configDir_(TempDir("calcfg")) {
  EXPECT_TRUE(
      library_.Load(QStringLiteral("TessalyEnglish"), {QStringLiteral(TESSALY_PACK_DIR)}));
  SetCurrentLanguageLibrary(&library_);
  registry_ = std::make_unique<FileRegistry>(configDir_);

  environment_.bus = MakeSimBus(simDir_);
  environment_.profile = LinkProfile::Calibration();
  environment_.profile.startPause = 0ms;
  environment_.profile.answerTimeout = 3s;  // a limit; answers come in milliseconds
  environment_.registry = registry_.get();
  environment_.osVersion = &os_;
  environment_.displayOrientation = 0;
  environment_.screen = QRect(0, 0, 1920, 1080);
  environment_.seedFromDesktop = true;
  environment_.desktopDoubleClick = DesktopDoubleClick{4, 500};
}

CalibrationDialogTest::~CalibrationDialogTest() {
  sim_.reset();
  SetCurrentLanguageLibrary(nullptr);
  std::filesystem::remove_all(simDir_);
  std::filesystem::remove_all(configDir_);
}

void CalibrationDialogTest::PlugController(uint8_t mode) {
  SimControllerOptions options;
  options.socketPath = DefaultSocketPath(simDir_, options.vendorId, options.productId);
  options.initialState.calMode = mode;
  sim_ = std::make_unique<SimulatedController>(options);
  std::string error;
  ASSERT_TRUE(sim_->Start(error)) << error;
}

std::unique_ptr<CCalibrationDlg> CalibrationDialogTest::StartDialog() {
  auto dialog = std::make_unique<CCalibrationDlg>(environment_);
  if (dialog->OnInitDialog()) dialog->timer().stop();
  return dialog;
}

bool CalibrationDialogTest::PumpUntil(const std::function<bool()>& done,
                                      std::chrono::milliseconds limit) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > limit.count()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

void CalibrationDialogTest::TouchTargets(std::vector<RawPoint> positions) {
  TargetRun run;
  run.positions = std::move(positions);
  run.rate = 0;
  run.gap = 20ms;
  run.startDelay = 0ms;
  run.waitLimit = 5s;
  sim_->TouchTargets(run);
}

std::vector<QString> CalibrationDialogTest::Boxes() const {
  std::vector<QString> texts;
  for (const RecordedMessageBox& box : boxes_.Boxes())
    texts.push_back(box.caption + "|" + box.text);
  return texts;
}

QString CalibrationDialogTest::Box(int textId, int captionId, const QString& suffix) {
  return LoadResourceString(captionId) + "|" + LoadResourceString(textId) + suffix;
}

bool CalibrationDialogTest::Received(uint8_t code, std::vector<uint8_t>* payload) const {
  bool found = false;
  for (const SimEvent& event : sim_->Events().After(0)) {
    if (!event.IsFrame(SimEvent::Kind::In, kCalibrationReportId, code)) continue;
    found = true;
    if (payload && event.bytes.size() > 2) {
      const size_t n = event.bytes[2];
      payload->assign(event.bytes.begin() + 3,
                      event.bytes.begin() + std::min(event.bytes.size(), 3 + n));
    }
  }
  return found;
}

std::string CalibrationDialogTest::StoredMouseValue(const char* name) {
  std::unique_ptr<RegKey> key;
  if (registry_->OpenKey(RegRoot::CurrentUser, kMouseSettingsKey, RegAccess::Read, key) !=
      RegStatus::Success) {
    return "<no key>";
  }
  std::vector<uint8_t> buffer(64);
  size_t size = buffer.size();
  if (key->QueryValue(name, nullptr, buffer, &size) != RegStatus::Success) return "<missing>";
  return reinterpret_cast<const char*>(buffer.data());
}

}  // namespace orvelle
