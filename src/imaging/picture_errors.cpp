#include "imaging/picture_errors.h"

#include <cstdio>
#include <iterator>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>
#include <jerror.h>

namespace {

struct JpegText {
  int Code;
  const char* Text;
};

constexpr char kDamaged[] = "JPEG ファイルが壊れています。";
constexpr char kCutShort[] = "JPEG ファイルが途中で終わっています。コピーや保存が最後まで終わっていない可能性があります。";
constexpr char kUnsupported[] = "この種類の JPEG には対応していません。";

const JpegText kTexts[] = {
    {JWRN_JPEG_EOF, kCutShort},
    {JERR_INPUT_EOF, kCutShort},
    {JWRN_HIT_MARKER, kCutShort},
    {JERR_INPUT_EMPTY, "ファイルが空です。"},
    {JERR_NO_SOI, "JPEG ファイルではありません。拡張子と中身が合っていない可能性があります。"},
    {JERR_NO_IMAGE, "JPEG ファイルに画像がありません。"},
    {JERR_EMPTY_IMAGE, "JPEG ファイルの画像の大きさが 0 です。"},
    {JERR_SOI_DUPLICATE, kDamaged},
    {JERR_SOF_DUPLICATE, kDamaged},
    {JERR_SOF_NO_SOS, kDamaged},
    {JERR_SOS_NO_SOF, kDamaged},
    {JERR_EOI_EXPECTED, kDamaged},
    {JERR_BAD_LENGTH, kDamaged},
    {JERR_BAD_COMPONENT_ID, kDamaged},
    {JERR_BAD_SAMPLING, kDamaged},
    {JERR_BAD_MCU_SIZE, kDamaged},
    {JERR_BAD_PROGRESSION, kDamaged},
    {JERR_BAD_DCT_COEF, kDamaged},
    {JERR_BAD_HUFF_TABLE, kDamaged},
    {JERR_NO_HUFF_TABLE, kDamaged},
    {JERR_NO_QUANT_TABLE, kDamaged},
    {JERR_NO_ARITH_TABLE, kDamaged},
    {JERR_DHT_INDEX, kDamaged},
    {JERR_DQT_INDEX, kDamaged},
    {JERR_DAC_INDEX, kDamaged},
    {JERR_DAC_VALUE, kDamaged},
    {JERR_HUFF_MISSING_CODE, kDamaged},
    {JERR_UNKNOWN_MARKER, kDamaged},
    {JERR_COMPONENT_COUNT, kDamaged},
    {JWRN_HUFF_BAD_CODE, kDamaged},
    {JWRN_ARITH_BAD_CODE, kDamaged},
    {JWRN_MUST_RESYNC, kDamaged},
    {JERR_SOF_UNSUPPORTED, kUnsupported},
    {JERR_BAD_PRECISION, "このデータ精度（12 ビットなど）の JPEG には対応していません。"},
    {JERR_BAD_J_COLORSPACE, "この色空間の JPEG には対応していません。"},
    {JERR_CONVERSION_NOTIMPL, "この色空間の JPEG には対応していません。"},
    {JERR_ARITH_NOTIMPL, kUnsupported},
    {JERR_NOTIMPL, kUnsupported},
    {JERR_FRACT_SAMPLE_NOTIMPL, kUnsupported},
    {JERR_CCIR601_NOTIMPL, kUnsupported},
    {JERR_IMAGE_TOO_BIG, "JPEG 画像が大きすぎます。"},
    {JERR_WIDTH_OVERFLOW, "JPEG 画像が大きすぎます。"},
    {JERR_OUT_OF_MEMORY, "JPEG を読むためのメモリが足りません。"},
};

}  // namespace

std::string JpegErrorText(int msgCode, const std::string& english) {
  for (const JpegText& t : kTexts)
    if (t.Code == msgCode) return t.Text;
  return "JPEG ファイルを読めません（" + english + "）。";
}

std::string PictureFileErrorText(const std::string& path, const std::string& message) {
  return "画像ファイル「" + path + "」を読めません。\r\n" + message;
}
