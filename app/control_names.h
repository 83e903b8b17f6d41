// The Qt object names of the main window and its controls: what tests, scripts and
// accessibility tools find them by. They are published and stay as they are; the code names
// each control by its role and sets its object name from here.
#pragma once

namespace picbatch {

inline constexpr const char* kMainWindowName = "frmMain";

inline constexpr const char* kArtworkName = "Image1";
inline constexpr const char* kHelpCaptionName = "lblwenlo";
inline constexpr const char* kHelpLinkName = "lblLink";
inline constexpr const char* kOptionsLinkName = "lblOptions";

inline constexpr const char* kSourceFieldName = "txtPath1";
inline constexpr const char* kSourceButtonName = "btn1";
inline constexpr const char* kDestinationFieldName = "txtPath2";
inline constexpr const char* kDestinationButtonName = "btn2";
inline constexpr const char* kSizeListName = "cmbSize";
inline constexpr const char* kCustomSizeButtonName = "SpeedButton1";
inline constexpr const char* kKeepFormatRadioName = "r1";
inline constexpr const char* kJpegRadioName = "r2";
inline constexpr const char* kBmpRadioName = "r3";
inline constexpr const char* kStartButtonName = "SpeedButton3";

inline constexpr const char* kProgressBarName = "ProgressBar1";
inline constexpr const char* kProgressLabelName = "lblProc";
inline constexpr const char* kRunTimerName = "Timer1";

// The run's report box: its button that saves the run's JSON Lines report, and its caption.
inline constexpr const char* kSaveReportButtonName = "btnSaveReport";
inline constexpr const char* kSaveReportCaption = "保存报告…";
// The file name the save dialog offers.
inline constexpr const char* kReportFileName = "picbatch-report.jsonl";

}  // namespace picbatch
