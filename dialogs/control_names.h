// The Qt object names of the dialogs' controls: what tests, scripts and accessibility tools
// find them by. They are published and stay as they are; the code names each control by its
// role and sets its object name from here.
#pragma once

namespace picbatch {

// Every dialog with OK and Cancel.
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
inline constexpr const char* kSizeHintLabelName = "Label5";

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
inline constexpr const char* kFitGroupName = "GroupBox3";
inline constexpr const char* kStretchRadioName = "rbFitStretch";
inline constexpr const char* kContainRadioName = "rbFitContain";
inline constexpr const char* kCoverRadioName = "rbFitCover";
inline constexpr const char* kPadRadioName = "rbFitPad";
inline constexpr const char* kBackgroundButtonName = "btnBackground";
inline constexpr const char* kBackgroundColourActionName = "actBackgroundColour";
inline constexpr const char* kBackgroundDefaultActionName = "actBackgroundDefault";
inline constexpr const char* kBackgroundTransparentActionName = "actBackgroundTransparent";
inline constexpr const char* kShrinkOnlyBoxName = "chkShrinkOnly";
inline constexpr const char* kTurnBoxBoxName = "chkBoxFollowsOrientation";
inline constexpr const char* kQualityGroupName = "GroupBox4";
inline constexpr const char* kQualityLabelName = "Label1";
inline constexpr const char* kQualityBoxName = "spnQuality";
inline constexpr const char* kProgressiveBoxName = "chkProgressive";
inline constexpr const char* kFilesGroupName = "GroupBox5";
inline constexpr const char* kRecursiveBoxName = "chkRecursive";
inline constexpr const char* kNameTemplateLabelName = "Label2";
inline constexpr const char* kNameTemplateFieldName = "edtNameTemplate";
inline constexpr const char* kSkipUpToDateBoxName = "chkSkipUpToDate";

}  // namespace picbatch
