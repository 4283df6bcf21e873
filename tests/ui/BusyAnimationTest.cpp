// The busy animation read back from the control of a real dialog.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <vector>

#include "SearchDialogFixture.h"
#include "res/resource.h"
#include "ui/BusyAnimation.h"

namespace {

const int kStripRows = 160;

COLORREF RowColour(int row)
{
    return RGB(row, 255 - row, 0x80);
}

// The source row a control pixel shows, or -1 when it is no row of the strip.
int RowOf(COLORREF colour)
{
    int row = GetRValue(colour);
    if (row >= kStripRows || colour != RowColour(row))
        return -1;
    return row;
}

// A strip of the digits bitmap's size whose every row has a colour of its own.
HBITMAP MakeRowStrip()
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 70;
    info.bmiHeader.biHeight = -kStripRows;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap)
        return nullptr;
    DWORD* pixels = static_cast<DWORD*>(bits);
    for (int row = 0; row < kStripRows; ++row) {
        COLORREF colour = RowColour(row);
        DWORD pixel = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
        for (int x = 0; x < 70; ++x)
            pixels[row * 70 + x] = pixel;
    }
    GdiFlush();
    return bitmap;
}

using Pixels = std::vector<std::vector<COLORREF>>;

Pixels ReadPixels(HDC dc, int width, int height)
{
    Pixels rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            rows[y].push_back(GetPixel(dc, x, y));
    return rows;
}

// The control's client pixels as drawn on screen.
Pixels ReadControl(HWND control)
{
    RECT client;
    GetClientRect(control, &client);
    HDC dc = GetDC(control);
    Pixels rows = ReadPixels(dc, client.right, client.bottom);
    ReleaseDC(control, dc);
    return rows;
}

// Rows first to first + 56 of the strip stretched to width x height, drawn
// off screen: what one frame should look like.
Pixels StripWindow(HBITMAP strip, int first, int width, int height)
{
    HDC screen = GetDC(nullptr);
    HDC source = CreateCompatibleDC(screen);
    HDC target = CreateCompatibleDC(screen);
    HBITMAP canvas = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ oldSource = SelectObject(source, strip);
    HGDIOBJ oldTarget = SelectObject(target, canvas);
    StretchBlt(target, 0, 0, width, height, source, 0, first, 70, 57, SRCCOPY);
    Pixels pixels = ReadPixels(target, width, height);
    SelectObject(source, oldSource);
    SelectObject(target, oldTarget);
    DeleteObject(canvas);
    DeleteDC(target);
    DeleteDC(source);
    ReleaseDC(nullptr, screen);
    return pixels;
}

class AnimationTest : public SearchWindowTest {
protected:
    void SetUp() override
    {
        SearchWindowTest::SetUp();
        ShowWindow(window, SW_SHOWNOACTIVATE);
        UpdateWindow(window);
        control = GetDlgItem(window, IDC_ANIMATION);
        animation.SetStrip(MakeRowStrip());
        ASSERT_NE(animation.Strip(), nullptr);
    }
    // Whether drawing into a window can be read back on this display.
    bool CanReadBack()
    {
        HDC dc = GetDC(control);
        COLORREF probe = RGB(12, 34, 56);
        SetPixel(dc, 1, 1, probe);
        bool readable = GetPixel(dc, 1, 1) == probe;
        ReleaseDC(control, dc);
        InvalidateRect(control, nullptr, TRUE);
        UpdateWindow(control);
        return readable;
    }

    BusyAnimation animation;
    HWND control = nullptr;
};

}  // namespace

TEST_F(AnimationTest, EachTickShowsAWholeWindowOfTheStripFromABandBoundary)
{
    if (!CanReadBack())
        GTEST_SKIP() << "window pixels cannot be read back on this display";
    RECT client;
    GetClientRect(control, &client);
    ASSERT_GT(client.bottom, 0);

    // The unseeded generator's sequence: the same in every run.
    srand(1);
    std::vector<int> bands;
    for (int i = 0; i < 64; ++i)
        bands.push_back(rand() % 16);
    srand(1);

    std::vector<Pixels> frames;
    for (int first = 0; first <= 100; first += 10)
        frames.push_back(StripWindow(animation.Strip(), first, client.right, client.bottom));
    for (size_t i = 1; i < frames.size(); ++i)
        ASSERT_FALSE(frames[i] == frames[i - 1]) << "frames tell the bands apart";

    bool sawLateBand = false;
    for (int band : bands) {
        animation.DrawFrame(window);
        sawLateBand = sawLateBand || band > 10;
        // From band 11 on the frame starts 10 bands up, on the same digits.
        const int expected = band > 10 ? band - 10 : band;
        Pixels pixels = ReadControl(control);
        EXPECT_TRUE(pixels == frames[expected]) << "band " << band;
        EXPECT_EQ(RowOf(pixels[0][0]), expected * 10) << "band " << band;
    }
    EXPECT_TRUE(sawLateBand);
}

TEST_F(AnimationTest, ControlIsBlankOnceTheSearchEnds)
{
    if (!CanReadBack())
        GTEST_SKIP() << "window pixels cannot be read back on this display";
    animation.DrawFrame(window);
    animation.Stop(window);
    UpdateWindow(control);
    Pixels pixels = ReadControl(control);
    ASSERT_FALSE(pixels.empty());
    const COLORREF background = pixels[0][0];
    EXPECT_EQ(RowOf(background), -1);
    for (const std::vector<COLORREF>& row : pixels)
        for (COLORREF pixel : row)
            ASSERT_EQ(pixel, background);
}

TEST_F(AnimationTest, DigitStripFramesAreBlackDigitsOnWhiteFromABandBoundary)
{
    if (!CanReadBack())
        GTEST_SKIP() << "window pixels cannot be read back on this display";
    HBITMAP digits = static_cast<HBITMAP>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_DIGITS), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    ASSERT_NE(digits, nullptr);
    animation.SetStrip(digits);
    RECT client;
    GetClientRect(control, &client);

    srand(1);
    for (int tick = 0; tick < 48; ++tick) {
        animation.DrawFrame(window);
        Pixels pixels = ReadControl(control);
        SCOPED_TRACE(tick);
        int black = 0;
        for (const std::vector<COLORREF>& row : pixels)
            for (COLORREF pixel : row) {
                ASSERT_TRUE(pixel == RGB(0, 0, 0) || pixel == RGB(255, 255, 255)) << std::hex << pixel;
                black += pixel == RGB(0, 0, 0);
            }
        EXPECT_GT(black, 0);
        // A band starts with two white rows above its digits.
        for (int y = 0; y < 2; ++y)
            for (COLORREF pixel : pixels[y])
                ASSERT_EQ(pixel, RGB(255, 255, 255)) << "row " << y;
    }
}
