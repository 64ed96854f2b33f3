#pragma once
// The console's messages, by their string ids in the language pack.

namespace orvelle::console {

enum ConsoleMessage : int {
  kMsgErrorCaption = 1080,
  kMsgNotConnected = 1083,
  kMsgAlreadyStarted = 1084,
  kMsgOperationFailed = 1085,
  kMsgLaunchNoResources = 1086,
  kMsgLaunchNotExecutable = 1087,
  kMsgFileNotFound = 1088,
  kMsgLaunchFolderNotFound = 1089,
  kMsgOutOfMemory = 1090,
  kMsgCannotOpen = 1091,  // present, but this user may not open it
  kMsgControllerBusy = 1092,
  kMsgControllerHolder = 1093,  // %1 the program, %2 its process
  kMsgNotKept = 1094,
  kMsgCannotOpenForSave = 1096,
  kMsgCannotOpenOrCreate = 1097,
  kMsgCannotWriteNew = 1098,
  kMsgCannotRead = 1099,
  kMsgCannotSave = 1100,
  kMsgCannotRemoveLogon = 1101,
  kMsgCannotAddLogon = 1102,
  kMsgNoTrayIcon = 1103,
  kMsgSavedCaption = 1115,
  kMsgSaved = 1116,
  kMsgSavedToFile = 1117,
  kMsgNotSavedToFile = 1118,
  kMsgRestoreDefaults = 1119,
  kMsgTouchTestInstruction = 1120,
  kMsgTouchTestDistance = 1121,    // %1 pixels
  kMsgTouchTestDistanceMm = 1122,  // %1 pixels, %2 millimetres
  kMsgTouchTestPassed = 1123,      // %1 the tolerance in pixels
  kMsgTouchTestFailed = 1124,      // %1 the tolerance in pixels
  kMsgTouchTestCalibrateAgain = 1125,
  kMsgTouchTestClose = 1126,
};

}  // namespace orvelle::console
