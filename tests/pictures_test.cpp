// The real exe's window as the user sees it, frame and caption included, compared pixel for
// pixel with pictures approved by a person (tests/approved, made by scripts/approve-pictures.sh).
// They see what no query of a control shows: where everything stands at each DPI, the frame's
// buttons, the boxes' sunken edges, which button is the default, the colours, the mask.
#include "support.h"

#include <gtest/gtest.h>
#include <wincodec.h>

#include "dialog/Layout.h"
#include "dialog/MainForm.h"

using namespace Layout;

namespace {

struct Picture {
    UINT width = 0, height = 0;
    std::vector<BYTE> bgra;  // rows top down, four bytes a pixel
};

template <class T>
struct Com {  // owns one COM interface
    T* p = nullptr;
    ~Com() { if (p) p->Release(); }
    T* operator->() const { return p; }
};

IWICImagingFactory* Wic() {
    static IWICImagingFactory* factory = [] {
        IWICImagingFactory* made = nullptr;
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&made));
        return made;
    }();
    return factory;
}

Picture Read(const std::wstring& path) {
    Picture picture;
    Com<IWICBitmapDecoder> decoder;
    Com<IWICBitmapFrameDecode> frame;
    Com<IWICBitmapSource> bgra;
    if (FAILED(Wic()->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand, &decoder.p)) ||
        FAILED(decoder->GetFrame(0, &frame.p)) || FAILED(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame.p, &bgra.p)) ||
        FAILED(bgra->GetSize(&picture.width, &picture.height))) {
        return {};
    }
    picture.bgra.resize(picture.width * picture.height * 4);
    if (FAILED(bgra->CopyPixels(nullptr, picture.width * 4, picture.bgra.size(), picture.bgra.data()))) return {};
    return picture;
}

bool Write(const Picture& picture, const std::wstring& path) {
    Com<IWICStream> stream;
    Com<IWICBitmapEncoder> encoder;
    Com<IWICBitmapFrameEncode> frame;
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    auto* bytes = const_cast<BYTE*>(picture.bgra.data());
    return SUCCEEDED(Wic()->CreateStream(&stream.p)) && SUCCEEDED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) &&
           SUCCEEDED(Wic()->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder.p)) &&
           SUCCEEDED(encoder->Initialize(stream.p, WICBitmapEncoderNoCache)) && SUCCEEDED(encoder->CreateNewFrame(&frame.p, nullptr)) &&
           SUCCEEDED(frame->Initialize(nullptr)) && SUCCEEDED(frame->SetSize(picture.width, picture.height)) &&
           SUCCEEDED(frame->SetPixelFormat(&format)) && format == GUID_WICPixelFormat32bppBGRA &&
           SUCCEEDED(frame->WritePixels(picture.height, picture.width * 4, picture.bgra.size(), bytes)) && SUCCEEDED(frame->Commit()) &&
           SUCCEEDED(encoder->Commit());
}

// The window's rectangle of the screen. No window manager runs on the test display, so Wine
// draws the frame and caption itself, and nothing else covers the window.
Picture Capture(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    Picture picture{static_cast<UINT>(r.right - r.left), static_cast<UINT>(r.bottom - r.top), {}};
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, r.right - r.left, r.top - r.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    const HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, r.right - r.left, r.bottom - r.top, screen, r.left, r.top, SRCCOPY);
    picture.bgra.assign(static_cast<BYTE*>(bits), static_cast<BYTE*>(bits) + picture.width * picture.height * 4);
    for (size_t i = 3; i < picture.bgra.size(); i += 4) picture.bgra[i] = 255;  // the screen has no alpha
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return picture;
}

// Two renders of one build have always been identical here: no pixel may differ.
constexpr int kTolerance = 0;

// The approved picture, paled, with the pixels that differ in red; empty when none do (or
// the sizes differ, which the test reports first).
Picture Difference(const Picture& render, const Picture& approved) {
    if (render.width != approved.width || render.height != approved.height) return {};
    Picture difference = approved;
    bool any = false;
    for (size_t i = 0; i < render.bgra.size(); i += 4) {
        bool differs = false;
        for (size_t c = i; c < i + 3; ++c) {
            differs |= std::abs(render.bgra[c] - approved.bgra[c]) > kTolerance;
            difference.bgra[c] = static_cast<BYTE>(170 + approved.bgra[c] / 3);
        }
        if (differs) difference.bgra[i] = difference.bgra[i + 1] = 0, difference.bgra[i + 2] = 255, any = true;
    }
    return any ? difference : Picture{};
}

std::wstring Env(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    GetEnvironmentVariableW(name, value, MAX_PATH);
    return value;
}

using User = const test::Exe&;
void TypeAll(User e) {
    e.Type(kUserTextId, L"山田 太郎");
    e.Type(kPasswordTextId, L"p4ss word");
    e.Type(kDomainTextId, L"CORP");
}

}  // namespace

// Each state at 96 and 144 DPI, the focus kept off the text boxes, whose caret blinks. With
// QUELLIN_APPROVE=1 (scripts/approve-pictures.sh) each render, once steady, becomes the
// approved picture instead.
TEST(Picture, TheDialogLooksAsApproved) {
    const struct {
        const char* name;
        void (*steps)(User);
        int focus;
        std::wstring shown;
    } shots[] = {
        {"empty", [](User) {}, kOffOptionId, L"000|||"},
        {"on", [](User e) { TypeAll(e); e.Click(kOnOptionId); e.Click(kShutdownWithoutLogonCheckId); }, kShutdownWithoutLogonCheckId,
         L"110|山田 太郎|p4ss word|CORP"},
        {"hidden", [](User e) { e.Click(kShutdownWithoutLogonCheckId); TypeAll(e); e.Click(kDontDisplayLastUserNameCheckId); },
         kDontDisplayLastUserNameCheckId, L"011|山田 太郎|p4ss word|CORP"},
    };
    const std::wstring approvedDir = Env(L"QUELLIN_APPROVED"), renders = test::BesideTests(L"pictures\\");
    ASSERT_FALSE(approvedDir.empty()) << "QUELLIN_APPROVED names no folder";
    const bool approve = Env(L"QUELLIN_APPROVE") == L"1";
    CreateDirectoryW(renders.c_str(), nullptr);
    for (DWORD dpi : {96, 144}) {
        for (const auto& shot : shots) {
            const std::wstring name = std::wstring(shot.name, shot.name + strlen(shot.name)) + L"-" + std::to_wstring(dpi) + L".png";
            SCOPED_TRACE(testing::PrintToString(name));
            test::ResetWinlogon();
            auto setDpi = [](DWORD d) { RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &d, 4); };
            setDpi(dpi);  // for the processes started from now on
            test::Exe exe;
            setDpi(96);
            shot.steps(exe);
            ASSERT_TRUE(test::WaitFor([&] { return exe.Focus() == exe.Item(shot.focus) && test::Shown(exe.window) == shot.shown; }))
                << "shows " << testing::PrintToString(test::Shown(exe.window));
            Picture render, approved = Read(approvedDir + L"/" + name), difference;
            if (approve) {  // steady: the same render for half a second
                int same = 0;
                test::WaitFor([&] {
                    Picture now = Capture(exe.window);
                    same = now.bgra == render.bgra ? same + 1 : 0;
                    render = std::move(now);
                    return same >= 50;
                });
                EXPECT_TRUE(Write(render, approvedDir + L"/" + name));
                continue;
            }
            ASSERT_FALSE(approved.bgra.empty()) << "no approved picture";
            // Painting ends a moment after the state shows: render until it matches, or time is up.
            test::WaitFor([&] {
                render = Capture(exe.window);
                return render.width == approved.width && render.height == approved.height &&
                       (difference = Difference(render, approved)).bgra.empty();
            }, 5000);
            if (render.width != approved.width || render.height != approved.height || !difference.bgra.empty()) {
                Write(render, renders + name);
                Write(difference, renders + L"difference-" + name);
                ADD_FAILURE() << "differs from the approved picture: " << render.width << " x " << render.height << " for "
                              << approved.width << " x " << approved.height << "; see " << testing::PrintToString(renders + name)
                              << " and the differing pixels in red in " << testing::PrintToString(renders + L"difference-" + name);
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
