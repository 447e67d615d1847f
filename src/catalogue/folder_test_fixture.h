// What the tests of a shown folder start from: the picture formats with the test PPM plug-in
// loaded, a gauge window for loads to show their progress in, and a folder of their own.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "catalogue/gauge_form.h"
#include "catalogue/shown_folder.h"
#include "imaging/spi_bitmap.h"
#include "imaging/win_test_util.h"

class FolderTest : public testing::Test {
 protected:
  void SetUp() override {
    InitPictureFormats();
    spis_ = std::make_unique<TSPIs>();
    spis_->Add(CreateSPI(imgtest::Plugin("ppm")));
    gauge_ = std::make_unique<TGaugeForm>();
  }
  void TearDown() override {
    gauge_.reset();
    spis_.reset();
    DonePictureFormats();
  }
  int Load(TShownFolder& f) { return f.Load(dir_.Path(), *gauge_, nullptr, 24); }
  static TFileItem* Find(TShownFolder& f, const std::string& name) {
    auto it = std::find_if(f.Items.begin(), f.Items.end(), [&](const TFileItem& i) { return i.Name == name; });
    return it == f.Items.end() ? nullptr : &*it;
  }

  std::unique_ptr<TSPIs> spis_;
  std::unique_ptr<TGaugeForm> gauge_;
  imgtest::TempDir dir_;
};
