// What a run keeps of plug-in faults: a plug-in in its helper costs only the files it faulted
// on until it faults on three different ones in a row; one inside Quiran is set aside at once;
// the status bar's account names plug-in and file and sums up a folder's faults.
#include "imaging/plugin_faults.h"

#include <gtest/gtest.h>

TEST(PluginFaults, InTheHelperAFaultCostsOnlyItsFileUntilThreeInARow) {
  TPluginFaults faults;
  const std::string png = "C:\\spi\\ifpng.spi";
  EXPECT_FALSE(faults.Note(png, "D:\\p\\deep16.png", false).SetAside);
  EXPECT_TRUE(faults.FailedOn(png, "D:\\p\\deep16.png"));
  EXPECT_TRUE(faults.FailedOn("c:\\SPI\\IFPNG.SPI", "d:\\P\\DEEP16.PNG"));  // paths compare as Windows does
  EXPECT_FALSE(faults.FailedOn(png, "D:\\p\\plain.png"));
  EXPECT_FALSE(faults.FailedOn("C:\\spi\\other.spi", "D:\\p\\deep16.png"));
  // The same file again is no new file of the run; a picture read ends the run.
  EXPECT_FALSE(faults.Note(png, "D:\\p\\deep16.png", false).SetAside);
  EXPECT_FALSE(faults.Note(png, "D:\\p\\b16.png", false).SetAside);
  faults.NoteSuccess(png);
  EXPECT_FALSE(faults.Note(png, "D:\\p\\c16.png", false).SetAside);
  EXPECT_FALSE(faults.Note(png, "D:\\p\\d16.png", false).SetAside);
  // The third different file in a row sets it aside; files it faulted on stay remembered.
  EXPECT_TRUE(faults.Note(png, "D:\\p\\e16.png", false).SetAside);
  EXPECT_TRUE(faults.FailedOn(png, "D:\\p\\b16.png"));
  // Another plug-in's runs are its own.
  EXPECT_FALSE(faults.Note("C:\\spi\\tga.spi", "D:\\p\\x.tga", false).SetAside);
}

TEST(PluginFaults, InsideQuiranOrWhileLoadingTheFirstFaultSetsItAside) {
  TPluginFaults faults;
  TPluginFault f = faults.Note("C:\\spi\\ifpng.spi", "D:\\p\\deep16.png", true);
  EXPECT_TRUE(f.SetAside);
  EXPECT_TRUE(f.InProcess);
  EXPECT_EQ(f.File, "D:\\p\\deep16.png");
  EXPECT_TRUE(faults.Note("C:\\spi\\bad.spi", "", false).SetAside);
  EXPECT_FALSE(faults.FailedOn("C:\\spi\\bad.spi", ""));
}

TEST(PluginFaults, TheStatusBarNamesPluginAndFileAndSumsUpAFolder) {
  TPluginFaults faults;
  EXPECT_EQ(faults.Summary(), "");
  faults.Note("C:\\spi\\ifpng.spi", "D:\\p\\deep16.png", false);
  EXPECT_EQ(faults.Summary(), "ifpng.spi が deep16.png で異常を起こしました");
  // More in the same folder: counted, each plug-in with its first file, not overwritten.
  faults.Note("C:\\spi\\ifpng.spi", "D:\\p\\b16.png", false);
  faults.Note("C:\\spi\\iftga.spi", "D:\\p\\x.tga", false);
  faults.Note("C:\\spi\\ifpng.spi", "D:\\p\\c16.png", false);  // the third in a row: set aside
  EXPECT_EQ(faults.Summary(), "プラグインの異常 4 件: ifpng.spi (deep16.png ほか 2 件、停止) iftga.spi (x.tga)");
  // Another folder starts its own account.
  faults.Note("C:\\spi\\iftga.spi", "D:\\q\\y.tga", false);
  EXPECT_EQ(faults.Summary(), "iftga.spi が y.tga で異常を起こしました");
  // A fault inside Quiran asks for a restart.
  faults.Note("C:\\spi\\own.spi", "D:\\r\\z.pfl", true);
  EXPECT_EQ(faults.Summary(), "own.spi が z.pfl で異常を起こしました。このプラグインは使いません。Quiran を再起動してください");
  faults.Note("C:\\spi\\broken.spi", "", true);
  EXPECT_EQ(faults.Summary(), "broken.spi の読み込み中に異常が起きたため、このプラグインは使いません。Quiran を再起動してください");
}
