// The JPEG codec over the Windows Imaging Component.
//
// Missing against the TurboJPEG adapter: WIC's JPEG encoder makes no progressive files and has
// no 4:1:1 sampling, so a progressive request gives a baseline file and 4:1:1 gives 4:2:0.
// Wine's encoder also ignores the quality.
#include <windows.h>
// After windows.h, which they need.
#include <objbase.h>
#include <wincodec.h>

#include <algorithm>
#include <cstring>

#include "libs/support/jpeg_codec.h"

namespace pellarin::libs {

namespace {

// Holds one COM interface and releases it.
template <typename Interface>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() {
    if (pointer_ != nullptr) pointer_->Release();
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  Interface* operator->() const { return pointer_; }
  Interface* get() const { return pointer_; }
  Interface** put() { return &pointer_; }

 private:
  Interface* pointer_ = nullptr;
};

// COM for the duration of one call. A caller that set up its own apartment keeps it: then our
// initialisation fails with RPC_E_CHANGED_MODE, COM is usable all the same, and we must not
// uninitialise it.
class ComScope {
 public:
  ComScope() : result_(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(result_)) ::CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  bool usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

 private:
  HRESULT result_;
};

bool makeFactory(ComRef<IWICImagingFactory>& factory) {
  return SUCCEEDED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_PPV_ARGS(factory.put())));
}

// WIC's values of the encoder's "JpegYCrCbSubsampling" option.
BYTE wicSampling(ChromaSampling sampling) {
  switch (sampling) {
    case ChromaSampling::s444:
      return 3;
    case ChromaSampling::s422:
      return 2;
    case ChromaSampling::s440:
      return 4;
    case ChromaSampling::s420:
    case ChromaSampling::s411:
    case ChromaSampling::grey:
      return 1;
  }
  return 3;
}

// Options the encoder does not know are skipped: the file is still a JPEG.
void writeOption(IPropertyBag2* options, const wchar_t* name, const VARIANT& value) {
  PROPBAG2 option{};
  option.pstrName = const_cast<LPOLESTR>(name);
  VARIANT copy = value;
  options->Write(1, &option, &copy);
}

// Pixels in the layout WIC's encoder takes: BGR, or one grey byte per pixel.
std::vector<BYTE> encoderPixels(const std::uint8_t* rgb, std::size_t count, bool grey) {
  std::vector<BYTE> pixels(count * (grey ? 1 : 3));
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* p = rgb + i * 3;
    if (grey) {
      // The luminance of the JPEG colour transform, rounded.
      pixels[i] = static_cast<BYTE>((p[0] * 19595u + p[1] * 38470u + p[2] * 7471u + 32768u) >> 16);
    } else {
      pixels[i * 3] = p[2];
      pixels[i * 3 + 1] = p[1];
      pixels[i * 3 + 2] = p[0];
    }
  }
  return pixels;
}

// Copies the source's pixels as RGB, a band of rows at a time. Every decoded layout (grey,
// YCbCr, CMYK) converts to 32-bit BGR, also under Wine, which cannot copy grey as 24-bit BGR.
bool copyAsRgb(IWICBitmapSource* source, int width, int height, std::uint8_t* rgb) {
  ComRef<IWICBitmapSource> converted;
  if (FAILED(::WICConvertBitmapSource(GUID_WICPixelFormat32bppBGR, source, converted.put()))) {
    return false;
  }
  constexpr int kBandRows = 64;
  const UINT stride = static_cast<UINT>(width) * 4;
  std::vector<BYTE> band(static_cast<std::size_t>(stride) * kBandRows);
  for (int top = 0; top < height; top += kBandRows) {
    const int rows = std::min(kBandRows, height - top);
    const WICRect area{0, top, width, rows};
    if (FAILED(
            converted->CopyPixels(&area, stride, stride * static_cast<UINT>(rows), band.data()))) {
      return false;
    }
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(rows);
    std::uint8_t* out = rgb + static_cast<std::size_t>(top) * static_cast<std::size_t>(width) * 3;
    for (std::size_t i = 0; i < count; ++i) {
      out[i * 3] = band[i * 4 + 2];
      out[i * 3 + 1] = band[i * 4 + 1];
      out[i * 3 + 2] = band[i * 4];
    }
  }
  return true;
}

std::optional<std::vector<std::uint8_t>> streamBytes(IStream* stream) {
  STATSTG status{};
  HGLOBAL memory = nullptr;
  if (FAILED(stream->Stat(&status, STATFLAG_NONAME)) ||
      FAILED(::GetHGlobalFromStream(stream, &memory))) {
    return std::nullopt;
  }
  const auto* data = static_cast<const std::uint8_t*>(::GlobalLock(memory));
  if (data == nullptr) return std::nullopt;
  std::optional<std::vector<std::uint8_t>> bytes;
  bytes.emplace(data, data + status.cbSize.QuadPart);
  ::GlobalUnlock(memory);
  return bytes;
}

}  // namespace

bool decodeJpeg(std::span<const std::uint8_t> jpeg, int width, int height, std::uint8_t* rgb) {
  if (jpeg.size() > MAXDWORD) return false;
  ComScope com;
  ComRef<IWICImagingFactory> factory;
  ComRef<IWICStream> stream;
  ComRef<IWICBitmapDecoder> decoder;
  ComRef<IWICBitmapFrameDecode> frame;
  GUID container{};
  UINT frameWidth = 0, frameHeight = 0;
  return com.usable() && makeFactory(factory) && SUCCEEDED(factory->CreateStream(stream.put())) &&
         SUCCEEDED(stream->InitializeFromMemory(const_cast<BYTE*>(jpeg.data()),
                                                static_cast<DWORD>(jpeg.size()))) &&
         SUCCEEDED(factory->CreateDecoderFromStream(
             stream.get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.put())) &&
         SUCCEEDED(decoder->GetContainerFormat(&container)) &&
         IsEqualGUID(container, GUID_ContainerFormatJpeg) &&
         SUCCEEDED(decoder->GetFrame(0, frame.put())) &&
         SUCCEEDED(frame->GetSize(&frameWidth, &frameHeight)) &&
         frameWidth == static_cast<UINT>(width) && frameHeight == static_cast<UINT>(height) &&
         copyAsRgb(frame.get(), width, height, rgb);
}

std::optional<std::vector<std::uint8_t>> encodeJpeg(const std::uint8_t* rgb, int width, int height,
                                                    const JpegOptions& options) {
  const bool grey = options.sampling == ChromaSampling::grey;
  const std::vector<BYTE> pixels =
      encoderPixels(rgb, static_cast<std::size_t>(width) * static_cast<std::size_t>(height), grey);
  const UINT stride = static_cast<UINT>(width) * (grey ? 1 : 3);

  ComScope com;
  ComRef<IWICImagingFactory> factory;
  ComRef<IStream> stream;
  ComRef<IWICBitmapEncoder> encoder;
  ComRef<IWICBitmapFrameEncode> frame;
  ComRef<IPropertyBag2> frameOptions;
  if (!com.usable() || !makeFactory(factory) ||
      FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, stream.put())) ||
      FAILED(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, encoder.put())) ||
      FAILED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) ||
      FAILED(encoder->CreateNewFrame(frame.put(), frameOptions.put()))) {
    return std::nullopt;
  }
  VARIANT quality;
  ::VariantInit(&quality);
  quality.vt = VT_R4;
  quality.fltVal = static_cast<float>(options.quality) / 100.0f;
  writeOption(frameOptions.get(), L"ImageQuality", quality);
  VARIANT sampling;
  ::VariantInit(&sampling);
  sampling.vt = VT_UI1;
  sampling.bVal = wicSampling(options.sampling);
  writeOption(frameOptions.get(), L"JpegYCrCbSubsampling", sampling);

  const WICPixelFormatGUID wanted =
      grey ? GUID_WICPixelFormat8bppGray : GUID_WICPixelFormat24bppBGR;
  WICPixelFormatGUID format = wanted;
  if (FAILED(frame->Initialize(frameOptions.get())) ||
      FAILED(frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height))) ||
      FAILED(frame->SetPixelFormat(&format)) || !IsEqualGUID(format, wanted) ||
      FAILED(frame->WritePixels(static_cast<UINT>(height), stride, static_cast<UINT>(pixels.size()),
                                const_cast<BYTE*>(pixels.data()))) ||
      FAILED(frame->Commit()) || FAILED(encoder->Commit())) {
    return std::nullopt;
  }
  return streamBytes(stream.get());
}

}  // namespace pellarin::libs
