// The Qt object names of the dialogs' controls: what tests, scripts and accessibility tools
// find them by. They are published and stay as they are; the code names each control by its
// role and sets its object name from here.
#pragma once

namespace picbatch {

// Both dialogs.
inline constexpr const char* kOkButtonName = "BitBtn1";
inline constexpr const char* kCancelButtonName = "BitBtn2";

// The custom size dialog.
inline constexpr const char* kSizeGroupName = "GroupBox1";
inline constexpr const char* kWidthLabelName = "Label1";
inline constexpr const char* kHeightLabelName = "Label2";
inline constexpr const char* kWidthUnitLabelName = "Label3";
inline constexpr const char* kHeightUnitLabelName = "Label4";
inline constexpr const char* kWidthFieldName = "edtW";
inline constexpr const char* kWidthArrowsName = "udW";
inline constexpr const char* kHeightFieldName = "edtH";
inline constexpr const char* kHeightArrowsName = "udH";

// The folder chooser.
inline constexpr const char* kFileListLabelName = "Label3";
inline constexpr const char* kDriveSelectorName = "DriveComboBox1";
inline constexpr const char* kDirectoryListName = "DirectoryListBox1";
inline constexpr const char* kFileListName = "FileListBox1";

// The options dialog.
inline constexpr const char* kOrientationGroupName = "GroupBox1";
inline constexpr const char* kUprightBoxName = "chkUpright";
inline constexpr const char* kMetadataGroupName = "GroupBox2";
inline constexpr const char* kDropMetadataRadioName = "rbExifDrop";
inline constexpr const char* kKeepMetadataRadioName = "rbExifKeep";
inline constexpr const char* kKeepMetadataWithoutGpsRadioName = "rbExifKeepNoGps";

}  // namespace picbatch
