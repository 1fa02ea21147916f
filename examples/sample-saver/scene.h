// The animation: a star field flying towards the viewer behind the movie
// text, whose first line drifts across the screen in changing colours.
// Drawn off screen and copied in one go, so nothing flickers.
#pragma once

#include <windows.h>

#include "movie_text.h"

constexpr int StarCount = 160;

struct Star {
    int x, y, z;  // z from 1 (near) to StarDepth (far)
};

struct Scene {
    const MovieText* movie;
    Star stars[StarCount];
    unsigned random;
    unsigned frame;
};

// Prepares a scene that shows movie (which must outlive the scene).
void sceneInit(Scene* scene, const MovieText* movie);
// Advances the animation by one frame.
void sceneStep(Scene* scene);
// Draws the current frame into dc, which shows width x height pixels.
void sceneDraw(const Scene* scene, HDC dc, int width, int height);
