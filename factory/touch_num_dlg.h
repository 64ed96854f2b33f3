#pragma once
// CTouchNumDlg: the user picks the maximum number of touch points the
// controller is to report, among the counts it supports.

#include <QDialog>
#include <array>

namespace orvelle {

struct FactorySharedValues;

class CTouchNumDlg : public QDialog {
 public:
  enum { IDD = 131 };
  static constexpr std::array<int, 6> kCounts = {1, 2, 4, 6, 10, 16};

  // Starts from the shared maximum and current count; OnOK writes the chosen
  // count back into the shared current count.
  explicit CTouchNumDlg(FactorySharedValues& shared, QWidget* parent = nullptr);

  int SelectionIndex() const { return selectionIndex_; }
  int ChosenCount() const { return chosenCount_; }

  void OnRadioClicked();
  void OnOK();

 private:
  void OnInitDialog();
  void DoDataExchange(bool fromControls);

  FactorySharedValues& shared_;
  int selectionIndex_ = 0;  // bound to the radio group 1009
  int maximumSupported_ = 0;
  int chosenCount_ = 0;
};

}  // namespace orvelle
