// PNG and BMP decoding through the Windows Imaging Component. Each call
// forces the codec of its format, so BMP bytes in a PNG slot (or the other
// way round) fail like a damaged file instead of being accepted quietly.
#include <wincodec.h>
#include <windows.h>

#include <cstdio>

#include "platform/error.h"
#include "platform/handles.h"
#include "platform/image.h"

namespace lk {
namespace {

// Images larger than this are refused before any buffer is sized by them.
constexpr UINT64 kMaxPixels = 64ull * 1024 * 1024;

// Wine (and some Windows versions) have no message text for the imaging
// codes; the common ones get a short text of our own.
std::string WicErrorText(HRESULT hr) {
  switch (hr) {
    case WINCODEC_ERR_UNKNOWNIMAGEFORMAT:
      return "图像格式无法识别";
    case WINCODEC_ERR_BADIMAGE:
      return "图像已损坏";
    case WINCODEC_ERR_BADHEADER:
      return "图像文件头已损坏";
    case WINCODEC_ERR_FRAMEMISSING:
      return "图像中没有画面";
    case WINCODEC_ERR_IMAGESIZEOUTOFRANGE:
      return "图像尺寸超出范围";
    case WINCODEC_ERR_COMPONENTNOTFOUND:
      return "没有可用的解码器";
  }
  return {};
}

[[noreturn]] void Fail(const char* format, HRESULT hr) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
  const std::string text =
      HasSystemErrorText(static_cast<DWORD>(hr)) ? SystemErrorText(static_cast<DWORD>(hr)) : WicErrorText(hr);
  throw Error(std::string(format) + " 图像无法解码: " + (text.empty() ? "" : text + " ") + "(" + code + ")");
}

Picture Decode(Bytes bytes, const GUID& container, const WICPixelFormatGUID& format, const char* name) {
  ComInit com;  // balanced here; a caller's own initialisation stays as it was
  ComPtr<IWICImagingFactory> factory;
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, factory.put_void());
  if (FAILED(hr)) Fail(name, hr);
  if (bytes.size() > 0xFFFFFFFFu) Fail(name, E_OUTOFMEMORY);

  ComPtr<IWICStream> stream;
  hr = factory->CreateStream(stream.put());
  // WIC only reads through the stream; the cast is for its signature.
  if (SUCCEEDED(hr))
    hr = stream->InitializeFromMemory(const_cast<BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
  ComPtr<IWICBitmapDecoder> decoder;
  if (SUCCEEDED(hr)) hr = factory->CreateDecoder(container, nullptr, decoder.put());
  if (SUCCEEDED(hr)) hr = decoder->Initialize(stream.get(), WICDecodeMetadataCacheOnDemand);
  ComPtr<IWICBitmapFrameDecode> frame;
  if (SUCCEEDED(hr)) hr = decoder->GetFrame(0, frame.put());
  ComPtr<IWICBitmapSource> converted;
  if (SUCCEEDED(hr)) hr = WICConvertBitmapSource(format, frame.get(), converted.put());
  UINT w = 0, h = 0;
  if (SUCCEEDED(hr)) hr = converted->GetSize(&w, &h);
  if (FAILED(hr)) Fail(name, hr);
  if (w == 0 || h == 0 || static_cast<UINT64>(w) * h > kMaxPixels)
    Fail(name, WINCODEC_ERR_IMAGESIZEOUTOFRANGE);

  Picture p;
  p.width = static_cast<int>(w);
  p.height = static_cast<int>(h);
  p.pixels.resize(static_cast<std::size_t>(w) * h);
  hr = converted->CopyPixels(nullptr, w * 4, w * h * 4, reinterpret_cast<BYTE*>(p.pixels.data()));
  if (FAILED(hr)) Fail(name, hr);
  return p;
}

}  // namespace

std::optional<Picture> PngFromBytes(Bytes bytes) {
  if (bytes.empty()) return std::nullopt;
  Picture p = Decode(bytes, GUID_ContainerFormatPng, GUID_WICPixelFormat32bppBGRA, "PNG");
  p.transparent = true;
  return p;
}

std::optional<Picture> BitmapFromBytes(Bytes bytes) {
  if (bytes.empty()) return std::nullopt;
  Picture p = Decode(bytes, GUID_ContainerFormatBmp, GUID_WICPixelFormat32bppBGR, "BMP");
  // 32bppBGR leaves the fourth byte undefined; bitmaps are opaque.
  for (std::uint32_t& px : p.pixels) px |= 0xFF000000u;
  BlackToMagenta(p);
  return p;
}

}  // namespace lk
