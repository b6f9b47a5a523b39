#include "Picture.h"

#include <wincodec.h>
#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

namespace {

IWICImagingFactory* Wic() {
    static ComPtr<IWICImagingFactory> factory;
    if (!factory && SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
        CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory));
    }
    return factory.Get();
}

}  // namespace

Picture Capture(HDC source, const RECT& r) {
    Picture p{static_cast<UINT>(r.right - r.left), static_cast<UINT>(r.bottom - r.top), {}};
    BITMAPINFO info{{sizeof(BITMAPINFOHEADER), r.right - r.left, r.top - r.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    const HDC memory = CreateCompatibleDC(source);
    const HBITMAP bitmap = CreateCompatibleBitmap(source, p.width, p.height);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, p.width, p.height, source, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    p.bgra.resize(p.width * p.height * 4);
    GetDIBits(memory, bitmap, 0, p.height, p.bgra.data(), &info, DIB_RGB_COLORS);
    for (size_t i = 3; i < p.bgra.size(); i += 4) p.bgra[i] = 255;  // the screen has no alpha
    DeleteObject(bitmap);
    DeleteDC(memory);
    return p;
}

Picture CaptureWindow(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    const HDC screen = GetDC(nullptr);
    const Picture p = Capture(screen, r);
    ReleaseDC(nullptr, screen);
    return p;
}

Picture ReadPng(const std::wstring& path) {
    Picture p;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICBitmapSource> bgra;
    const bool read = Wic() &&
                      SUCCEEDED(Wic()->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand, &decoder)) &&
                      SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame.Get(), &bgra)) &&
                      SUCCEEDED(bgra->GetSize(&p.width, &p.height)) && (p.bgra.resize(p.width * p.height * 4), true) &&
                      SUCCEEDED(bgra->CopyPixels(nullptr, p.width * 4, p.bgra.size(), p.bgra.data()));
    return read ? p : Picture{};
}

bool WritePng(const Picture& p, const std::wstring& path) {
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    std::vector<BYTE> pixels = p.bgra;  // WritePixels takes no const buffer
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    // The encoder may answer with another format; the pixels are then not what it would write.
    return Wic() && SUCCEEDED(Wic()->CreateStream(&stream)) && SUCCEEDED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) &&
           SUCCEEDED(Wic()->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) &&
           SUCCEEDED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) && SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) &&
           SUCCEEDED(frame->Initialize(nullptr)) && SUCCEEDED(frame->SetSize(p.width, p.height)) && SUCCEEDED(frame->SetPixelFormat(&format)) &&
           format == GUID_WICPixelFormat32bppBGRA && SUCCEEDED(frame->WritePixels(p.height, p.width * 4, pixels.size(), pixels.data())) &&
           SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}
