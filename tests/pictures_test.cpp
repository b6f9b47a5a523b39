// The real exe's window as the user sees it, frame and caption included, compared pixel for
// pixel with pictures approved by a person (tests/approved, made by scripts/approve-pictures.sh).
// They see what no query of a control shows: where everything stands at each DPI, the frame's
// buttons, the boxes' sunken edges, which button is the default, the colours, the mask.
#include "support.h"

#include <gtest/gtest.h>
#include <wincodec.h>
#include <wrl/client.h>

#include "dialog/Layout.h"
#include "dialog/MainForm.h"

using namespace Layout;

namespace {

using Microsoft::WRL::ComPtr;

struct Picture {
    UINT width = 0, height = 0;
    std::vector<BYTE> bgra;  // rows top down, four bytes a pixel
    bool operator==(const Picture&) const = default;
};

IWICImagingFactory* Wic() {
    static ComPtr<IWICImagingFactory> factory;
    if (!factory && SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory));
    return factory.Get();
}

Picture Read(const std::wstring& path) {
    Picture p;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICBitmapSource> bgra;
    const bool read = SUCCEEDED(Wic()->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand, &decoder)) &&
                      SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame.Get(), &bgra)) &&
                      SUCCEEDED(bgra->GetSize(&p.width, &p.height)) && (p.bgra.resize(p.width * p.height * 4), true) &&
                      SUCCEEDED(bgra->CopyPixels(nullptr, p.width * 4, p.bgra.size(), p.bgra.data()));
    return read ? p : Picture{};
}

bool Write(Picture p, const std::wstring& path) {
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    return SUCCEEDED(Wic()->CreateStream(&stream)) && SUCCEEDED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) &&
           SUCCEEDED(Wic()->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) &&
           SUCCEEDED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) && SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) &&
           SUCCEEDED(frame->Initialize(nullptr)) && SUCCEEDED(frame->SetSize(p.width, p.height)) && SUCCEEDED(frame->SetPixelFormat(&format)) &&
           format == GUID_WICPixelFormat32bppBGRA && SUCCEEDED(frame->WritePixels(p.height, p.width * 4, p.bgra.size(), p.bgra.data())) &&
           SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

// The window's rectangle of the screen. No window manager runs on the test display, so Wine
// draws the frame and caption itself, and nothing else covers the window.
Picture Capture(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    Picture p{static_cast<UINT>(r.right - r.left), static_cast<UINT>(r.bottom - r.top), {}};
    BITMAPINFO info{{sizeof(BITMAPINFOHEADER), r.right - r.left, r.top - r.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    const HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
    const HBITMAP bitmap = CreateCompatibleBitmap(screen, p.width, p.height);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, p.width, p.height, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    p.bgra.resize(p.width * p.height * 4);
    GetDIBits(memory, bitmap, 0, p.height, p.bgra.data(), &info, DIB_RGB_COLORS);
    for (size_t i = 3; i < p.bgra.size(); i += 4) p.bgra[i] = 255;  // the screen has no alpha
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return p;
}

// The approved picture paled, with the pixels that differ in red.
Picture Difference(const Picture& render, Picture approved) {
    for (size_t i = 0; i < approved.bgra.size() && render.bgra.size() == approved.bgra.size(); i += 4) {
        const bool differs = memcmp(&render.bgra[i], &approved.bgra[i], 3) != 0;
        for (size_t c = i; c < i + 3; ++c) approved.bgra[c] = differs ? (c == i + 2) * 255 : 170 + approved.bgra[c] / 3;
    }
    return approved;
}

}  // namespace

// Each state at 96 and 144 DPI: as opened on an empty key; ON, the three texts typed and the
// shutdown box checked; both boxes checked, which selects OFF. The focus stays off the text
// boxes, whose caret blinks. A render that differs is kept, with its difference, beside the
// tests; scripts/approve-pictures.sh makes the renders the approved pictures.
TEST(Picture, TheDialogLooksAsApproved) {
    const std::tuple<const wchar_t*, std::vector<int>, std::wstring> shots[] = {
        {L"empty", {}, L"000|||"},
        {L"on", {kOnOptionId, kShutdownWithoutLogonCheckId}, L"110|山田 太郎|p4ss word|CORP"},
        {L"hidden", {kShutdownWithoutLogonCheckId, kDontDisplayLastUserNameCheckId}, L"011|山田 太郎|p4ss word|CORP"},
    };
    const wchar_t* const approvedDir = _wgetenv(L"QUELLIN_APPROVED");
    ASSERT_TRUE(approvedDir) << "QUELLIN_APPROVED names no folder";
    for (DWORD dpi : {96, 144}) {
        for (const auto& [shot, clicks, shown] : shots) {
            const std::wstring name = shot + (L"-" + std::to_wstring(dpi)) + L".png";
            SCOPED_TRACE(testing::PrintToString(name));
            test::ResetWinlogon();
            auto setDpi = [](DWORD d) { RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &d, 4); };
            setDpi(dpi);  // for the processes started from now on
            test::Exe exe;
            setDpi(96);
            const wchar_t* const typed[] = {L"山田 太郎", L"p4ss word", L"CORP"};
            for (int i = 0; i < 3 && !clicks.empty(); ++i) exe.Type(kUserTextId + i, typed[i]);
            for (int id : clicks) exe.Click(id);
            const HWND focus = exe.Item(clicks.empty() ? kOffOptionId : clicks.back());
            ASSERT_TRUE(test::WaitFor([&] { return exe.Focus() == focus && test::Shown(exe.window) == shown; }))
                << "shows " << testing::PrintToString(test::Shown(exe.window));
            // What a picture of the window cannot show: that it opens in the middle of the screen,
            // and that screen readers name each box by the label just before it.
            RECT outer{};
            GetWindowRect(exe.window, &outer);
            EXPECT_NEAR(outer.left + outer.right, GetSystemMetrics(SM_CXSCREEN), 2) << "not centred";
            EXPECT_NEAR(outer.top + outer.bottom, GetSystemMetrics(SM_CYSCREEN), 2) << "not centred";
            for (int i = 0; i < 3; ++i) EXPECT_EQ(GetWindow(exe.Item(kUserTextId + i), GW_HWNDPREV), exe.Item(kLabel0Id + i));
            // The option buttons overlap (ＯＮ's 735 twips reach into ＯＦＦ's) and paint over each
            // other in the order their changes come: painted afresh, in z-order, all of it, the
            // picture is the same every time. Painting ends a moment later: render until the render
            // matches. Renders of one build have then always been identical, on a busy machine
            // too: no tolerance.
            RedrawWindow(exe.window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
            const Picture approved = Read(approvedDir + (L"/" + name));
            Picture render;
            if (!test::WaitFor([&] { return (render = Capture(exe.window)) == approved; }, 5000)) {
                const std::wstring rendered = test::BesideTests(L"rendered-" + name), difference = test::BesideTests(L"difference-" + name);
                ADD_FAILURE() << (approved.bgra.empty() ? "no approved picture could be read" : "differs from the approved picture")
                              << ": the render in " << testing::PrintToString(rendered) << (Write(render, rendered) ? "" : " (not written)")
                              << ", the differing pixels in red in " << testing::PrintToString(difference);
                Write(Difference(render, approved), difference);
            }
        }
    }
}

// What no picture shows: the arrow over the window, and a large icon that is the 32 x 32 image
// itself, not one of another size scaled. Wine does not let another process read a window's
// class, so the form is made here, from the exe's code and resources.
TEST(Picture, ArrowCursorAndSharpIcon) {
    MainForm form;
    ASSERT_TRUE(form.Create(GetModuleHandleW(nullptr)));
    EXPECT_EQ(GetClassLongPtrW(form.Window(), GCLP_HCURSOR), reinterpret_cast<LONG_PTR>(LoadCursorW(nullptr, IDC_ARROW)));
    ICONINFO icon{};
    BITMAP image{};
    ASSERT_TRUE(GetIconInfo(reinterpret_cast<HICON>(GetClassLongPtrW(form.Window(), GCLP_HICON)), &icon)) << "no window icon";
    GetObjectW(icon.hbmColor, sizeof image, &image);
    EXPECT_EQ(std::make_pair(image.bmWidth, image.bmHeight), std::make_pair(32L, 32L));
    DeleteObject(icon.hbmColor);
    DeleteObject(icon.hbmMask);
}
