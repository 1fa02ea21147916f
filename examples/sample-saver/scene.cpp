#include "scene.h"

#include <string.h>

constexpr int StarSpread = 1000;  // stars lie in -StarSpread..StarSpread
constexpr int StarDepth = 1000;
constexpr int StarSpeed = 12;

static int nextRandom(unsigned* state, int range) {
    *state = *state * 1103515245u + 12345u;
    return (int)((*state >> 8) % (unsigned)range);
}

static void placeStar(Scene* scene, Star* star, bool anyDepth) {
    star->x = nextRandom(&scene->random, 2 * StarSpread) - StarSpread;
    star->y = nextRandom(&scene->random, 2 * StarSpread) - StarSpread;
    star->z = anyDepth ? 1 + nextRandom(&scene->random, StarDepth) : StarDepth;
}

void sceneInit(Scene* scene, const MovieText* movie) {
    scene->movie = movie;
    scene->random = 20240601u;
    scene->frame = 0;
    for (Star& star : scene->stars) placeStar(scene, &star, true);
}

void sceneStep(Scene* scene) {
    ++scene->frame;
    for (Star& star : scene->stars) {
        star.z -= StarSpeed;
        if (star.z < 1) placeStar(scene, &star, false);
    }
}

// A fully saturated colour for a hue of 0..1535.
static COLORREF hueColour(unsigned hue) {
    hue %= 1536;
    int rise = (int)(hue % 256), fall = 255 - rise;
    switch (hue / 256) {
        case 0: return RGB(255, rise, 0);
        case 1: return RGB(fall, 255, 0);
        case 2: return RGB(0, 255, rise);
        case 3: return RGB(0, fall, 255);
        case 4: return RGB(rise, 0, 255);
        default: return RGB(255, 0, fall);
    }
}

// A triangle wave of the given period: 0..span..0.
static int bounce(unsigned t, int period, int span) {
    if (span <= 0 || period <= 0) return 0;
    int phase = (int)(t % (unsigned)(2 * period));
    int value = phase < period ? phase : 2 * period - phase;
    return value * span / period;
}

static void drawBackground(HDC dc, int width, int height) {
    const int bands = 32;
    for (int i = 0; i < bands; ++i) {
        RECT band = {0, height * i / bands, width, height * (i + 1) / bands};
        HBRUSH brush = CreateSolidBrush(RGB(0, 0, 8 + 56 * i / bands));
        FillRect(dc, &band, brush);
        DeleteObject(brush);
    }
}

static void drawStars(const Scene* scene, HDC dc, int width, int height) {
    int scale = width > height ? height : width;
    for (const Star& star : scene->stars) {
        int sx = width / 2 + star.x * scale / (2 * star.z);
        int sy = height / 2 + star.y * scale / (2 * star.z);
        if (sx < 0 || sy < 0 || sx >= width || sy >= height) continue;
        int light = 255 - 170 * star.z / StarDepth;
        int size = star.z < StarDepth / 5 ? 4 : star.z < StarDepth / 2 ? 3 : 2;
        RECT dot = {sx, sy, sx + size, sy + size};
        HBRUSH brush = CreateSolidBrush(RGB(light, light, light));
        FillRect(dc, &dot, brush);
        DeleteObject(brush);
    }
}

static HFONT makeFont(int height, int weight) {
    return CreateFontA(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, ANSI_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, "Arial");
}

static void drawText(const Scene* scene, HDC dc, int width, int height) {
    const char* text = scene->movie->text;
    const char* lineEnd = strchr(text, '\n');
    int titleLength = lineEnd ? (int)(lineEnd - text) : (int)strlen(text);
    const char* body = lineEnd ? lineEnd + 1 : "";

    HFONT titleFont = makeFont(height / 9 > 8 ? height / 9 : 8, FW_BOLD);
    HFONT bodyFont = makeFont(height / 28 > 7 ? height / 28 : 7, FW_NORMAL);
    SetBkMode(dc, TRANSPARENT);

    HGDIOBJ old = SelectObject(dc, titleFont);
    SIZE titleSize = {0, 0};
    GetTextExtentPoint32A(dc, text, titleLength, &titleSize);
    RECT bodyBox = {0, 0, width * 3 / 4, 0};
    SelectObject(dc, bodyFont);
    DrawTextA(dc, body, -1, &bodyBox, DT_CALCRECT | DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
    int blockWidth = titleSize.cx > bodyBox.right ? titleSize.cx : bodyBox.right;
    int blockHeight = titleSize.cy + bodyBox.bottom + titleSize.cy / 3;

    int x = bounce(scene->frame, 377, width - blockWidth);
    int y = bounce(scene->frame, 233, height - blockHeight);
    int centre = x + blockWidth / 2;

    SelectObject(dc, titleFont);
    SetTextColor(dc, RGB(0, 0, 0));
    TextOutA(dc, centre - titleSize.cx / 2 + 3, y + 3, text, titleLength);
    SetTextColor(dc, hueColour(scene->frame * 6));
    TextOutA(dc, centre - titleSize.cx / 2, y, text, titleLength);

    SelectObject(dc, bodyFont);
    SetTextColor(dc, RGB(230, 230, 240));
    RECT box = {centre - bodyBox.right / 2, y + titleSize.cy + titleSize.cy / 3,
                centre + bodyBox.right / 2 + 1, y + blockHeight};
    DrawTextA(dc, body, -1, &box, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);

    SelectObject(dc, old);
    DeleteObject(titleFont);
    DeleteObject(bodyFont);
}

void sceneDraw(const Scene* scene, HDC dc, int width, int height) {
    if (width <= 0 || height <= 0) return;
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
    HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
    drawBackground(memory, width, height);
    drawStars(scene, memory, width, height);
    drawText(scene, memory, width, height);
    BitBlt(dc, 0, 0, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(memory);
}
