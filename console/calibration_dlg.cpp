#include "console/calibration_dlg.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <algorithm>
#include <filesystem>
#include <string>

#include "console/console_services.h"
#include "console/controller_group.h"
#include "console/core/exchange_outcome.h"
#include "console/core/message_ids.h"
#include "console/core/pacing.h"
#include "console/touch_test_window.h"
#include "devlink/usb_transfer.h"
#include "shell/dialog_support.h"
#include "shell/language_library.h"
#include "shell/message_boxes.h"
#include "shell/resource_message.h"

namespace orvelle::console {
namespace {

const QString kFileFilter = QStringLiteral("Ini Files (*.ini);;All Files (*)");
const QString kFileSuffix = QStringLiteral("ini");
// The program's own text, as the format's other tools have it.
const QString kImportFailed = QStringLiteral("Failed to import!");

// How the calibration program is told the screen: its name, or its number
// where the name does not single it out.
std::string ScreenChoice(const QScreen* screen) {
  const QList<QScreen*> screens = QGuiApplication::screens();
  const qsizetype index = screens.indexOf(screen);
  if (index < 0) return {};
  const QString name = screen->name();
  const auto sameName = std::count_if(screens.begin(), screens.end(),
                                      [&](const QScreen* s) { return s->name() == name; });
  return !name.isEmpty() && sameName == 1 ? name.toStdString() : std::to_string(index);
}

std::filesystem::path FilePath(const QString& path) {
  return std::filesystem::path(path.toStdU16String());
}

}  // namespace

CCalibrationDlg::CCalibrationDlg(CUSBTransfer& link, CalibrationProgramRun& calibration,
                                 FileDialogService& fileDialogs, ProgramLauncher& launcher,
                                 QWidget* parent)
    : ConsolePage(parent),
      link_(link),
      calibration_(calibration),
      fileDialogs_(fileDialogs),
      launcher_(launcher) {
  setObjectName(QStringLiteral("CCalibrationDlg"));
  LoadDialogTemplate(*this, kTemplateId);
  ConnectControls();
}

void CCalibrationDlg::ConnectControls() {
  for (int option = 0; option < kCalOptionCount; ++option) {
    OnClicked(*this, kOptionRadios[option], [this, option] { OnOptionClicked(option); });
  }
  for (int index = 0; index < static_cast<int>(kModeRadios.size()); ++index) {
    OnClicked(*this, kModeRadios[index], [this, index] { OnModeClicked(index); });
  }
  OnClicked(*this, IDC_START, [this] { StartCalibrationProgram(); });
  OnClicked(*this, IDC_TOUCH_TEST, [this] { StartTouchTest(); });
  OnClicked(*this, IDC_EXPORT, [this] { ExportCalibration(); });
  OnClicked(*this, IDC_IMPORT, [this] { ImportCalibration(); });
  OnClicked(*this, IDC_RESET, [this] { ResetCalibration(); });
  OnClicked(*this, IDC_APPLY, [this] { Apply(); });
}

void CCalibrationDlg::Refresh() {
  exchange_.BeginRefresh();
  if (Connected()) {
    if (const auto group = TakeController(link_, calibration_, GroupFor::Refresh))
      ReadModeAndOption();
  }
  ShowKnown();
}

void CCalibrationDlg::ReadModeAndOption() {
  Send(kCommandChannel, CalibrationExchange::OptionRead());
  link_.Pause(kPauseAfterRead);
  Send(kCalibrationChannel, CalibrationExchange::Request(CAL_GET_MODE));
  link_.Pause(kPauseAfterRead);
}

void CCalibrationDlg::ShowKnown() {
  EnableKnownControls();
  const CalibrationPageState& s = exchange_.State();
  if (s.optionKnown) ShowOption();
  if (s.modeKnown) ShowMode();
  update();
}

// What is known can be changed; a later refresh that learns it enables it again.
void CCalibrationDlg::EnableKnownControls() {
  const CalibrationPageState& s = exchange_.State();
  EnableControls(kOptionRadios, s.optionKnown);
  EnableControls(kModeRadios, s.modeKnown);
  EnableControls(kButtons, s.optionKnown && s.modeKnown);
}

void CCalibrationDlg::ControllerGone() {
  exchange_.Forget();
  EnableKnownControls();
}

void CCalibrationDlg::HandleFrame(std::span<const uint8_t> frame) {
  const CalibrationAnswerEffect effect = exchange_.HandleFrame(frame);
  if (effect.recordToExport) SaveExport(*effect.recordToExport);
  if (effect.message != 0) ShowMessage(effect.message);
  if (effect.showMode) ShowMode();
  if (effect.repaint) update();
}

void CCalibrationDlg::StartCalibrationProgram() {
  if (!link_.IsConnected()) return ShowMessage(kMsgNotConnected);
  if (calibration_.Runs()) return ShowMessage(kMsgAlreadyStarted);
  QPointer<CCalibrationDlg> page(this);
  const LaunchResult result = launcher_.StartCalibrationProgram(
      link_.Device(), ScreenChoice(window()->screen()), [this, page] {
        // A removal or a new open since the start has ended the wait already.
        if (!page || !calibration_.Runs()) return;
        calibration_.Ended();
        // The console stood aside while the calibration ran: what it shows
        // may have changed.
        if (isVisible()) Refresh();
      });
  if (result != LaunchResult::Started) return ShowMessage(LaunchFailureMessage(result));
  calibration_.Started();
}

TouchTestWindow* CCalibrationDlg::TouchTest() const {
  return touchTest_;
}

void CCalibrationDlg::StartTouchTest() {
  if (touchTest_) {
    touchTest_->raise();
    touchTest_->activateWindow();
    return;
  }
  touchTest_ = new TouchTestWindow(
      window()->screen(),
      [this] {
        touchTest_->close();
        StartCalibrationProgram();
      },
      this);
  touchTest_->show();
}

void CCalibrationDlg::ExportCalibration() {
  if (!Connected()) return;
  const QString path = fileDialogs_.SaveFileName(this, kFileFilter, kFileSuffix);
  if (path.isEmpty()) return;  // cancelled: nothing is asked, nothing written
  const auto group = TakeController(link_, calibration_, GroupFor::Action);
  if (!group) return;
  exportPath_ = path;
  exchange_.BeginExport();
  if (!Send(kCalibrationChannel, CalibrationExchange::Request(CAL_READ_DATA))) {
    exchange_.AbandonExport();
    ShowMessage(kMsgOperationFailed);
  }
}

void CCalibrationDlg::SaveExport(const CalibrationRecord& record) {
  std::string why;
  switch (WriteCalibrationFile(FilePath(exportPath_), record, &why)) {
    case CalibrationFileResult::Done:
      return ShowMessage(kMsgSavedToFile);
    case CalibrationFileResult::EmptyPath:
      ShowMessage(kMsgFileNotFound);
      [[fallthrough]];
    case CalibrationFileResult::Failed:
      // Why, in orvellectl's words: a full disk, a link another user planted.
      return ShowMessage(kMsgNotSavedToFile, exportPath_ + ": " + QString::fromStdString(why));
  }
}

void CCalibrationDlg::ImportCalibration() {
  if (!Connected()) return;
  const QString path = fileDialogs_.OpenFileName(this, kFileFilter, kFileSuffix);
  if (path.isEmpty()) return;  // cancelled: nothing is read or sent
  importPath_ = path;
  CalibrationRecord record{};
  switch (ReadCalibrationFile(FilePath(importPath_), record)) {
    case CalibrationFileResult::Done:
      return WriteRecord(record);
    case CalibrationFileResult::EmptyPath:
      ShowMessage(kMsgFileNotFound);
      [[fallthrough]];
    case CalibrationFileResult::Failed:
      MessageBoxes().Show(this, kImportFailed, QCoreApplication::applicationName(), kMbOk);
      return;
  }
}

// The record goes in, and is done when the controller reports it back.
void CCalibrationDlg::WriteRecord(const CalibrationRecord& record) {
  const auto group = TakeController(link_, calibration_, GroupFor::Action);
  if (!group) return;
  exchange_.BeginImport(record);
  if (!Send(kCalibrationChannel, CalibrationExchange::RecordWrite(record))) {
    exchange_.AbandonImport();
    return ShowMessage(kMsgOperationFailed);
  }
  if (!exchange_.ImportAwaited()) return;  // refused, and said so
  link_.Pause(kPauseAfterWrite);
  if (!Send(kCalibrationChannel, CalibrationExchange::Request(CAL_READ_DATA))) {
    exchange_.AbandonImport();
    return ShowMessage(kMsgOperationFailed);
  }
  ShowMessage(exchange_.ImportKept() ? kMsgSaved : kMsgNotKept);
}

void CCalibrationDlg::ResetCalibration() {
  if (!Connected()) return;
  if (ShowResourceMessage(kMsgRestoreDefaults, kMsgSavedCaption, kMbYesNo | kMbIconQuestion, {}) ==
      kIdNo) {
    return;
  }
  const auto group = TakeController(link_, calibration_, GroupFor::Action);
  if (!group) return;
  if (!Send(kCalibrationChannel, CalibrationExchange::Request(CAL_RESET)))
    ShowMessage(kMsgOperationFailed);
  link_.Pause(kPauseAfterReset);
  Refresh();
}

// Only what was read of the controller connected now is written back; a
// write refused or not answered is reported once, and the page reads again
// what the controller holds.
void CCalibrationDlg::Apply() {
  const CalibrationPageState& s = exchange_.State();
  if (!s.optionKnown || !s.modeKnown || !Connected()) return;
  const auto group = TakeController(link_, calibration_, GroupFor::Action);
  if (!group) return;
  exchange_.BeginApply();
  OutcomeTally tally;
  tally.Sent(Send(kCommandChannel, exchange_.OptionWrite()));
  link_.Pause(kPauseAfterWrite);
  tally.Sent(Send(kCalibrationChannel, exchange_.ModeWrite()));
  link_.Pause(kPauseAfterWrite);
  if (tally.Outcome(!s.applyOk) != ExchangeOutcome::Done) {
    ShowMessage(kMsgOperationFailed);
    return Refresh();
  }
  // Done when the controller reports what was written.
  exchange_.BeginRefresh();
  ReadModeAndOption();
  ShowKnown();
  if (exchange_.AppliedKept()) return ShowMessage(kMsgSaved);
  ShowMessage(kMsgNotKept);
}

void CCalibrationDlg::OnOptionClicked(int option) {
  std::array<bool, kCalOptionCount> checked{};
  for (size_t k = 0; k < checked.size(); ++k)
    checked[k] = IsButtonChecked(*this, kOptionRadios[k]);
  exchange_.ChooseOption(ChosenRadio(option, checked));
  ShowOption();
  update();
}

void CCalibrationDlg::OnModeClicked(int index) {
  std::array<bool, kModeRadios.size()> checked{};
  for (size_t k = 0; k < checked.size(); ++k)
    checked[k] = IsButtonChecked(*this, kModeRadios[k]);
  exchange_.ChooseMode(kFirstCalMode + ChosenRadio(index, checked));
  ShowMode();
}

// Values without a radio leave the radios as they are.
void CCalibrationDlg::ShowOption() {
  const int option = exchange_.State().calOption;
  if (option < 0 || option >= kCalOptionCount) return;
  for (int k = 0; k < kCalOptionCount; ++k)
    SetButtonChecked(*this, kOptionRadios[k], k == option);
}

void CCalibrationDlg::ShowMode() {
  const int index = exchange_.State().calMode - kFirstCalMode;
  if (index < 0 || index >= static_cast<int>(kModeRadios.size())) return;
  for (int k = 0; k < static_cast<int>(kModeRadios.size()); ++k)
    SetButtonChecked(*this, kModeRadios[k], k == index);
}

void CCalibrationDlg::EnableControls(std::span<const int> ids, bool enabled) {
  for (int id : ids) {
    if (QWidget* control = DialogItem(*this, id)) control->setEnabled(enabled);
  }
}

bool CCalibrationDlg::Connected() {
  if (link_.IsConnected()) return true;
  ShowMessage(kMsgNotConnected);
  return false;
}

bool CCalibrationDlg::Send(int channel, const FrameBuffer& frame) {
  // An unanswered request leaves the page as it was; the answer decides.
  return link_.SendFrame(channel, frame);
}

void CCalibrationDlg::ShowMessage(int textId, const QString& detail) {
  const bool information = textId == kMsgSaved || textId == kMsgSavedToFile;
  ShowResourceMessage(textId, information ? kMsgSavedCaption : kMsgErrorCaption,
                      kMbOk | (information ? kMbIconInformation : kMbIconError),
                      detail.isEmpty() ? QString() : "\n" + detail);
}

QRect CCalibrationDlg::PictureRect() const {
  const int option = exchange_.State().calOption;
  const QWidget* frame = DialogItem(*this, IDC_PICTURE);
  const LanguageLibrary* library = CurrentLanguageLibrary();
  if (!frame || !library || option < 0 || option >= kCalOptionCount) return {};
  const QPixmap picture = library->Bitmap(kFirstOptionPicture + option);
  if (picture.isNull()) return {};
  // Inside the frame's own border, wherever the layout has put it.
  const QRect inner = frame->contentsRect().translated(frame->mapTo(this, QPoint(0, 0)));
  const QSize size = picture.deviceIndependentSize().toSize();
  const PictureArea fitted = FitPicture({inner.left(), inner.top(), inner.width(), inner.height()},
                                        size.width(), size.height());
  return QRect(fitted.left, fitted.top, fitted.width, fitted.height);
}

void CCalibrationDlg::paintEvent(QPaintEvent* event) {
  ConsolePage::paintEvent(event);
  const QRect target = PictureRect();
  if (target.isEmpty()) return;
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawPixmap(
      target, CurrentLanguageLibrary()->Bitmap(kFirstOptionPicture + exchange_.State().calOption));
}

}  // namespace orvelle::console
