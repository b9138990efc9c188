#pragma once
// Control ids of the main window. They are the commands' identities too: a
// click on a control arrives as a command carrying its id.

namespace ids {
// Shown at start.
inline constexpr int kRecordFixed = 1052;
inline constexpr int kRecordCustom = 1053;
inline constexpr int kStop = 1049;
inline constexpr int kMore = 1033;
inline constexpr int kMinimise = 1006;
inline constexpr int kClose = 1007;
inline constexpr int kList = 1004;
inline constexpr int kOutputFolder = 1009;
inline constexpr int kOpenFolder = 1013;
inline constexpr int kChangeFolder = 1012;
inline constexpr int kElapsed = 1051;
// Created hidden (1005 is shown, but right of the window's shape).
inline constexpr int kConverter = 1048;
inline constexpr int kAdd = 1000;
inline constexpr int kSetting = 1045;
inline constexpr int kCrop = 1043;
inline constexpr int kEffect = 1044;
inline constexpr int kTrim = 1042;
inline constexpr int kDelete = 1001;
inline constexpr int kClear = 1047;
inline constexpr int kConvertStop = 1003;
inline constexpr int kConvert = 1002;
inline constexpr int kPreview = 1008;
inline constexpr int kPreStart = 1019;
inline constexpr int kPreBack = 1020;
inline constexpr int kPrePlay = 1021;
inline constexpr int kPreStop = 1022;
inline constexpr int kPreForward = 1023;
inline constexpr int kPreEnd = 1024;
inline constexpr int kPrePause = 1046;
inline constexpr int kSnapshot = 1039;
inline constexpr int kOpenSnap = 1040;
// The output-format selector and its choices (resolution, video and audio
// bit rate) that the output settings set, and the picture fit.
inline constexpr int kProfile = 1011;
inline constexpr int kResolution = 1014;
inline constexpr int kZoomMode = 1036;
inline constexpr int kVideoBitrate = 1034;
inline constexpr int kAudioBitrate = 1035;
inline constexpr int kProgress = 1018;
inline constexpr int kHelp = 1005;
// The preview panel's position slider and the recordings row menu.
inline constexpr int kPreviewSlider = 1025;
inline constexpr int kMenuPreview = 1101;
// The row menu's other items carry the commands they run: kTrim, kCrop,
// kEffect, kSetting, kSnapshot, kOpenSnap, kDelete, kClear.
}  // namespace ids
